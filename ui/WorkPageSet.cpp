#include "WorkPageSet.h"

#include "WorkAutoArray.h"
#include "XPButton.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocDataGroup.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/NumText.h"
#include "platform/Prompt.h"
#include "platform/Sleep.h"
#include "processing/PathProc.h"
#include "processing/SelectionGroups.h"
#include "settings/LanguageTable.h"
#include "settings/SoftwareSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>

#include <cmath>
#include <limits>

namespace {

constexpr std::u16string_view kErrorSection = u"phase15:error-hint";
constexpr std::u16string_view kMainMenu = u"phase0:main-menu";
constexpr int kSelectFirstText = 0;
constexpr int kManyArraysText = 12;
// More objects with array copies than this are reported.
constexpr int kArrayObjectsWarned = 32;
constexpr std::uint32_t kMaxRecordCount = 0xFFFF;
constexpr std::uint32_t kMaxCount = std::numeric_limits<std::uint32_t>::max();
// A new array record covers the default fill area.
constexpr double kDefaultAreaW = 9000.0;
constexpr double kDefaultAreaH = 6000.0;
// The pause between a fill's dialog and its array.
constexpr int kFillPauseMs = 100;

QString Text(std::u16string_view section, int k)
{
    return QString::fromStdU16String(LanguageText(RegisteredLanguageTable(), section, k));
}

QString FormatLength(double v)
{
    return QString::number(v, 'g', 15);
}

// Trims the extent of an object's array copies off its box.
CGeoBox BoxWithoutCopies(const CDocData& o)
{
    CGeoBox box = o.GetBoundRect();
    if (!o.HasArrayCopies() || box.IsEmpty())
        return box;
    double dx = o.m_pArray->m_dDx;
    double dy = o.m_pArray->m_dDy;
    CDocData::ApplyOriginSign(dx, dy);
    const double ex = (o.m_pArray->m_nCols - 1) * dx;
    const double ey = (o.m_pArray->m_nRows - 1) * dy;
    if (ex < 0.0)
        box.m_xmin -= ex;
    else
        box.m_xmax -= ex;
    if (ey < 0.0)
        box.m_ymin -= ey;
    else
        box.m_ymax -= ey;
    return box;
}

// Reduces a negative gap longer than the object to the part beyond whole
// object lengths; an object of no extent keeps its gap.
double ReduceGap(double gap, double extent)
{
    if (gap < -0.001 && extent > 0.0 && std::fabs(gap) > extent)
        return -(std::fabs(gap) - std::trunc(std::fabs(gap) / extent) * extent);
    return gap;
}

} // namespace

CWorkPageSet::CWorkPageSet(QWidget* parent) : WorkPageBase(IDD, u"phase5:array-tool", parent)
{
    auto edit = [this](int id) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::number(id));
        return e;
    };
    auto check = [this](int id) {
        auto* c = new QCheckBox(QStringLiteral("Reverse"), this);
        c->setObjectName(QString::number(id));
        return c;
    };
    auto button = [this](int id, const QString& text) {
        auto* b = new CXPButton(text, this);
        b->setObjectName(QString::number(id));
        return b;
    };
    auto label = [this](int id, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::number(id));
        return l;
    };

    auto* virt = new QGroupBox(QStringLiteral("Virtual Array"), this);
    virt->setObjectName(QStringLiteral("1165"));
    auto* real = new QGroupBox(QStringLiteral("Real Array"), this);
    real->setObjectName(QStringLiteral("1169"));
    auto* virtLayout = new QGridLayout(virt);
    auto* realLayout = new QGridLayout(real);

    virtLayout->addWidget(label(1166, QStringLiteral("Count")), 0, 1);
    virtLayout->addWidget(label(1151, QStringLiteral("Spacing (mm)")), 0, 2);
    virtLayout->addWidget(edit(IDC_VIRT_COLS), 1, 1);
    virtLayout->addWidget(edit(IDC_VIRT_GAP_X), 1, 2);
    virtLayout->addWidget(check(IDC_VIRT_REV_X), 1, 3);
    virtLayout->addWidget(edit(IDC_VIRT_ROWS), 2, 1);
    virtLayout->addWidget(edit(IDC_VIRT_GAP_Y), 2, 2);
    virtLayout->addWidget(check(IDC_VIRT_REV_Y), 2, 3);
    virtLayout->addWidget(button(IDC_VIRT_FILL, QStringLiteral("Auto Fill")), 3, 1);
    CXPButton* virtApply = button(IDC_VIRT_APPLY, QStringLiteral("Apply"));
    virtApply->hide();
    virtApply->setEnabled(false);
    virtLayout->addWidget(virtApply, 3, 2);

    realLayout->addWidget(label(1173, QStringLiteral("Count")), 0, 1);
    realLayout->addWidget(label(1152, QStringLiteral("Spacing (mm)")), 0, 2);
    realLayout->addWidget(edit(IDC_REAL_COUNT_X), 1, 1);
    realLayout->addWidget(edit(IDC_REAL_GAP_X), 1, 2);
    realLayout->addWidget(check(IDC_REAL_REV_X), 1, 3);
    realLayout->addWidget(edit(IDC_REAL_COUNT_Y), 2, 1);
    realLayout->addWidget(edit(IDC_REAL_GAP_Y), 2, 2);
    realLayout->addWidget(check(IDC_REAL_REV_Y), 2, 3);
    realLayout->addWidget(button(IDC_REAL_FILL, QStringLiteral("Auto Fill")), 3, 1);
    realLayout->addWidget(button(IDC_REAL_APPLY, QStringLiteral("Apply")), 3, 2);
    auto* hidden = new QCheckBox(this);
    hidden->setObjectName(QStringLiteral("1172"));
    hidden->hide();

    auto* layout = new QGridLayout(this);
    layout->addWidget(virt, 0, 0);
    layout->addWidget(real, 1, 0);
    layout->setRowStretch(2, 1);

    connect(Button(IDC_REAL_APPLY), &QPushButton::clicked, this, [this] { RealArray(); });
    connect(Button(IDC_REAL_FILL), &QPushButton::clicked, this, [this] { RealFill(); });
    connect(Button(IDC_VIRT_FILL), &QPushButton::clicked, this, [this] { VirtualFill(); });
    for (int id : {IDC_VIRT_REV_X, IDC_VIRT_REV_Y})
        connect(Check(id), &QCheckBox::clicked, this, [this] { VirtualArray(); });
    connect(virtApply, &QPushButton::clicked, this, [this] { VirtualArray(); });
    // Only what the operator types acts: the page writing its own fields
    // into the edits builds nothing.
    connect(Edit(IDC_VIRT_COLS), &QLineEdit::textEdited, this, [this] { OnCountEdited(m_nVirtCols); });
    connect(Edit(IDC_VIRT_ROWS), &QLineEdit::textEdited, this, [this] { OnCountEdited(m_nVirtRows); });
    for (int id : {IDC_VIRT_GAP_X, IDC_VIRT_GAP_Y}) {
        connect(Edit(id), &QLineEdit::textEdited, this, [this] {
            ReadControls();
            VirtualArray();
        });
    }
    ShowFields();
}

QLineEdit* CWorkPageSet::Edit(int id) const { return findChild<QLineEdit*>(QString::number(id)); }
QCheckBox* CWorkPageSet::Check(int id) const { return findChild<QCheckBox*>(QString::number(id)); }
CXPButton* CWorkPageSet::Button(int id) const { return findChild<CXPButton*>(QString::number(id)); }

void CWorkPageSet::OnInitDialog()
{
    if (auto* box = findChild<QGroupBox*>(QStringLiteral("1169")); box != nullptr && !SectionText(1).empty())
        box->setTitle(QString::fromStdU16String(SectionText(1)));
    if (auto* box = findChild<QGroupBox*>(QStringLiteral("1165")); box != nullptr && !SectionText(17).empty())
        box->setTitle(QString::fromStdU16String(SectionText(17)));
    const struct {
        int id;
        int entry;
    } texts[] = {{1173, 2},  {1166, 2},  {1152, 3},  {1151, 3},  {1171, 4},  {1168, 4},  {1172, 16},
                 {1167, 16}, {1174, 16}, {1256, 23}, {1257, 23}, {1258, 23}, {1259, 23}};
    for (const auto& t : texts)
        SetTextFromSection(findChild<QWidget*>(QString::number(t.id)), t.entry);
}

std::uint32_t CWorkPageSet::ReadCount(const QLineEdit* edit)
{
    bool ok = false;
    const std::int64_t v = plat::ParseInt(edit->text().toStdString(), &ok);
    if (!ok || v < 0)
        return 0;
    return v > static_cast<std::int64_t>(kMaxCount) ? kMaxCount : static_cast<std::uint32_t>(v);
}

double CWorkPageSet::ReadLength(const QLineEdit* edit)
{
    const double v = plat::ParseDouble(edit->text().toStdString());
    return std::isfinite(v) ? v : 0.0;
}

std::uint32_t CWorkPageSet::FillCount(double area, double item, double spacing, std::uint32_t current,
                                      std::uint32_t most)
{
    const double step = item + spacing;
    if (!(step > 0.001))
        return current;
    const double n = std::trunc((std::fabs(area) - item) / step) + 1.0;
    if (!(n >= 1.0))
        return 1;
    return n >= static_cast<double>(most) ? most : static_cast<std::uint32_t>(n);
}

void CWorkPageSet::SetOwner(DOCCONTEXT* context, plat::ViewWindow* view)
{
    StoreOwner(context, view);
}

void CWorkPageSet::ShowFields()
{
    // An edit that already reads the field's value keeps its text, so a
    // number being typed ("-", "1.") is not rewritten under the cursor.
    auto count = [this](int id, std::uint32_t v) {
        if (QLineEdit* e = Edit(id); ReadCount(e) != v || e->text().isEmpty())
            e->setText(QString::number(v));
    };
    auto length = [this](int id, double v) {
        if (QLineEdit* e = Edit(id); ReadLength(e) != v || e->text().isEmpty())
            e->setText(FormatLength(v));
    };
    count(IDC_VIRT_COLS, m_nVirtCols);
    length(IDC_VIRT_GAP_X, m_dVirtGapX);
    count(IDC_VIRT_ROWS, m_nVirtRows);
    length(IDC_VIRT_GAP_Y, m_dVirtGapY);
    length(IDC_REAL_GAP_X, m_dRealGapX);
    length(IDC_REAL_GAP_Y, m_dRealGapY);
    count(IDC_REAL_COUNT_X, m_nRealCountX);
    count(IDC_REAL_COUNT_Y, m_nRealCountY);
    Check(IDC_VIRT_REV_X)->setChecked(m_bVirtRevX);
    Check(IDC_VIRT_REV_Y)->setChecked(m_bVirtRevY);
    Check(IDC_REAL_REV_X)->setChecked(m_bRealRevX);
    Check(IDC_REAL_REV_Y)->setChecked(m_bRealRevY);
}

void CWorkPageSet::ReadControls()
{
    m_nVirtCols = ReadCount(Edit(IDC_VIRT_COLS));
    m_dVirtGapX = ReadLength(Edit(IDC_VIRT_GAP_X));
    m_nVirtRows = ReadCount(Edit(IDC_VIRT_ROWS));
    m_dVirtGapY = ReadLength(Edit(IDC_VIRT_GAP_Y));
    m_dRealGapX = ReadLength(Edit(IDC_REAL_GAP_X));
    m_dRealGapY = ReadLength(Edit(IDC_REAL_GAP_Y));
    m_nRealCountX = ReadCount(Edit(IDC_REAL_COUNT_X));
    m_nRealCountY = ReadCount(Edit(IDC_REAL_COUNT_Y));
    m_bVirtRevX = Check(IDC_VIRT_REV_X)->isChecked();
    m_bVirtRevY = Check(IDC_VIRT_REV_Y)->isChecked();
    m_bRealRevX = Check(IDC_REAL_REV_X)->isChecked();
    m_bRealRevY = Check(IDC_REAL_REV_Y)->isChecked();
}

void CWorkPageSet::MeasureSelection(double& width, double& height) const
{
    CGeoBox box;
    if (Context() != nullptr && Context()->m_pCurrent != nullptr) {
        for (const CDocData* o = Context()->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext) {
            if (o->IsSelected() != 0)
                box.Union(BoxWithoutCopies(*o));
        }
    }
    width = box.IsEmpty() ? 0.0 : box.Width();
    height = box.IsEmpty() ? 0.0 : box.Height();
}

void CWorkPageSet::UpdateFromSelection()
{
    DOCCONTEXT* ctx = Context();
    if (ctx != nullptr) {
        m_nRealCountX = m_nRealCountY = 1;
        m_dRealGapX = m_dRealGapY = 0.0;
        m_nVirtCols = m_nVirtRows = 1;
        m_dVirtGapX = m_dVirtGapY = 0.0;
        int xFlag = 0;
        int yFlag = 0;
        CDocData::GetOriginFlags(ctx, xFlag, yFlag);
        m_bRealRevX = m_bVirtRevX = xFlag != 0;
        m_bRealRevY = m_bVirtRevY = yFlag != 0;
        MeasureSelection(m_dSelW, m_dSelH);
        const CDocData* only = nullptr;
        int selected = 0;
        if (ctx->m_pCurrent != nullptr) {
            for (const CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext) {
                if (o->IsSelected() != 0) {
                    only = o;
                    ++selected;
                }
            }
        }
        if (selected == 1 && only->m_pArray != nullptr) {
            const ARRAYREC& a = *only->m_pArray;
            m_dVirtGapX = (std::fabs(a.m_dDx) - m_dSelW) / 10.0;
            m_dVirtGapY = (std::fabs(a.m_dDy) - m_dSelH) / 10.0;
            m_nVirtCols = a.m_nCols;
            m_nVirtRows = a.m_nRows;
            m_bVirtRevX = a.m_dDx < 0.0;
            m_bVirtRevY = a.m_dDy < 0.0;
        }
    }
    ShowFields();
}

void CWorkPageSet::OnCountEdited(std::uint32_t& count)
{
    ReadControls();
    if (count < 1)
        count = 1;
    ShowFields();
    VirtualArray();
}

void CWorkPageSet::showEvent(QShowEvent* event)
{
    WorkPageBase::showEvent(event);
    if (!event->spontaneous())
        UpdateFromSelection();
}

void CWorkPageSet::hideEvent(QHideEvent* event)
{
    WorkPageBase::hideEvent(event);
    if (!event->spontaneous())
        ReadControls();
}

void CWorkPageSet::RealArray()
{
    DOCCONTEXT* ctx = Context();
    if (ctx == nullptr || ctx->m_pCurrent == nullptr || ctx->m_rcSelect.IsEmpty())
        return;
    ReadControls();
    const std::uint64_t countX = m_nRealCountX;
    const std::uint64_t countY = m_nRealCountY;
    if (countX <= 1 && countY <= 1)
        return;
    std::uint64_t selected = 0;
    for (const CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
        selected += o->IsSelected() != 0 ? 1 : 0;
    const std::uint64_t cx = countX < 1 ? 1 : countX;
    const std::uint64_t cy = countY < 1 ? 1 : countY;
    // Counts beyond the limit are refused before any copy is made; the
    // division keeps the product from overflowing.
    if (selected != 0 && (cx > kMaxRealCopies + 1 || cy > kMaxRealCopies + 1 ||
                          cx * cy - 1 > kMaxRealCopies / selected)) {
        plat::MessageBox(SectionText(kTooLargeText));
        return;
    }
    const double signX = m_bRealRevX ? -1.0 : 1.0;
    const double signY = m_bRealRevY ? -1.0 : 1.0;
    const double w = ctx->m_rcSelect.Width();
    const double h = ctx->m_rcSelect.Height();

    // The copies are built in a list of the page's own, so what the operator
    // copied stays in the clipboard.
    CDocData* head = nullptr;
    CDocData* tail = nullptr;
    auto append = [&](CDocData* copy) {
        copy->SetSelected(1);
        AppendObject(head, tail, copy);
    };
    auto movedCopy = [&](const CDocData* source, double dx, double dy) {
        CDocData* copy = CloneDocData(source, false);
        if (copy != nullptr) {
            copy->Move(CGeoPoint(0.0, 0.0), CGeoPoint(dx, dy), ctx);
            append(copy);
        }
    };
    CDocData* originals = nullptr;
    {
        CDocData* oTail = nullptr;
        for (const CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext) {
            if (o->IsSelected() == 0)
                continue;
            CDocData* copy = CloneDocData(o, false);
            if (copy == nullptr)
                continue;
            AppendObject(originals, oTail, copy);
        }
    }
    for (std::uint64_t c = 1; c < cx; ++c) {
        for (const CDocData* o = originals; o != nullptr; o = o->m_pNext)
            movedCopy(o, static_cast<double>(c) * signX * (w + m_dRealGapX * 10.0), 0.0);
    }
    // Each row repeats the first row: the originals and the copies along x.
    CDocData* rowEnd = tail;
    for (std::uint64_t r = 1; r < cy; ++r) {
        const double dy = static_cast<double>(r) * signY * (h + m_dRealGapY * 10.0);
        for (const CDocData* o = originals; o != nullptr; o = o->m_pNext)
            movedCopy(o, 0.0, dy);
        for (const CDocData* o = head; o != nullptr && rowEnd != nullptr; o = o->m_pNext) {
            movedCopy(o, 0.0, dy);
            if (o == rowEnd)
                break;
        }
    }
    DeleteObjectList(originals);
    if (head == nullptr)
        return;

    const CGeoBox before = ctx->m_rcSelect;
    SoftwareSettings& settings = SettingsOf(ctx);
    CDocData* held = settings.m_pClipboard;
    settings.m_pClipboard = head;
    CPathProc::PasteSelection(ctx, 1);
    settings.m_pClipboard = held;
    ctx->m_rcSelect.Union(before);
    if (ctx->m_pView != nullptr)
        ctx->m_pView->InvalidateRect(nullptr, true);
}

void CWorkPageSet::VirtualArray()
{
    DOCCONTEXT* ctx = Context();
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return;
    if (ctx->m_rcSelect.IsEmpty()) {
        plat::MessageBox(Text(kErrorSection, kSelectFirstText).toStdU16String());
        return;
    }
    ReadControls();
    // One undo step for the whole array: the grouping takes none of its own.
    CDocState::PushHistory(ctx);
    CDocData*& first = ctx->m_pCurrent->m_pFirst;
    bool anySelected = false;
    bool groupSelected = false;
    for (const CDocData* o = first; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() != 0) {
            anySelected = true;
            groupSelected = groupSelected || o->m_nType == MT_GROUP;
        }
    }
    if (anySelected) {
        if (groupSelected)
            UngroupObjects(first, UngroupScope::SelectedGroupsAllLevels);
        ClearSelectionArrays(first, ctx);
        CSelectionGroups::GroupSelection(ctx, true);
    }

    const CGeoBox old = ctx->m_rcSelect;
    ctx->m_rcSelect.SetEmpty();
    CGeoBox now;
    for (const CDocData* o = first; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() != 0)
            now.Union(o->GetBoundRect());
    }
    const double w = now.IsEmpty() ? 0.0 : now.Width();
    const double h = now.IsEmpty() ? 0.0 : now.Height();

    const std::uint32_t cols = m_nVirtCols;
    const std::uint32_t rows = m_nVirtRows;
    const bool copies = cols >= 1 && rows >= 1 && (cols >= 2 || rows >= 2);
    for (CDocData* o = first; o != nullptr; o = o->m_pNext) {
        if (o->IsSelected() == 0 || o->m_nType == MT_BITMAP)
            continue;
        if (copies) {
            if (o->m_pArray == nullptr) {
                o->m_pArray = new ARRAYREC;
                o->m_pArray->m_dAreaW = kDefaultAreaW;
                o->m_pArray->m_dAreaH = kDefaultAreaH;
            }
            ARRAYREC& a = *o->m_pArray;
            a.m_nCols = static_cast<std::uint16_t>(cols > kMaxRecordCount ? kMaxRecordCount : cols);
            a.m_nRows = static_cast<std::uint16_t>(rows > kMaxRecordCount ? kMaxRecordCount : rows);
            const double gx = ReduceGap(m_dVirtGapX * 10.0, w);
            const double gy = ReduceGap(m_dVirtGapY * 10.0, h);
            m_dVirtGapX = gx / 10.0;
            m_dVirtGapY = gy / 10.0;
            a.m_dDx = std::fabs(gx + w) * (m_bVirtRevX ? -1.0 : 1.0);
            a.m_dDy = std::fabs(gy + h) * (m_bVirtRevY ? -1.0 : 1.0);
            a.m_dAreaW = m_dFillW * 10.0;
            a.m_dAreaH = m_dFillH * 10.0;
        } else {
            delete o->m_pArray;
            o->m_pArray = nullptr;
        }
        o->RecalcBoundRect(ctx);
        ctx->m_rcSelect.Union(o->GetBoundRect());
    }
    if (ctx->m_pCurrent->m_pSplit != nullptr) {
        for (CDocData* o = first; o != nullptr;) {
            CDocData* next = o->m_pNext;
            if (o->HasArrayCopies())
                o->ExplodeArray(ctx);
            o = next;
        }
    }
    ShowFields();
    RepaintArea(old);
    RepaintArea(ctx->m_rcSelect);
    ShowObjectCount();

    int withCopies = 0;
    for (const CDocData* o = first; o != nullptr; o = o->m_pNext)
        withCopies += o->HasArrayCopies() ? 1 : 0;
    if (withCopies > kArrayObjectsWarned)
        plat::MessageBox(Text(kErrorSection, kManyArraysText).toStdU16String());
}

void CWorkPageSet::ShowObjectCount()
{
    DOCCONTEXT* ctx = Context();
    long count = 0;
    for (const CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext)
        ++count;
    const QString text = Text(kMainMenu, 38) + QStringLiteral(": %1 ").arg(count) + Text(kMainMenu, 39);
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* pane = top->findChild<QLabel*>(QStringLiteral("pane2"))) {
            pane->setText(text);
            return;
        }
    }
}

void CWorkPageSet::RealFill()
{
    DOCCONTEXT* ctx = Context();
    if (ctx == nullptr)
        return;
    ReadControls();
    const double itemW = ctx->m_rcSelect.IsEmpty() ? 0.0 : ctx->m_rcSelect.Width() / 10.0;
    const double itemH = ctx->m_rcSelect.IsEmpty() ? 0.0 : ctx->m_rcSelect.Height() / 10.0;
    CWorkAutoArray dlg(CWorkAutoArray::kModeReal, m_dFillW, m_dFillH, m_dRealGapX, m_dRealGapY, itemW, itemH,
                       nullptr, this);
    if (dlg.DoModal() != plat::IDOK)
        return;
    m_dFillW = dlg.m_dAreaW;
    m_dFillH = dlg.m_dAreaH;
    m_dRealGapX = dlg.m_dSpaceX;
    m_dRealGapY = dlg.m_dSpaceY;
    m_nRealCountX = FillCount(m_dFillW, itemW, m_dRealGapX, m_nRealCountX, kMaxCount);
    m_nRealCountY = FillCount(m_dFillH, itemH, m_dRealGapY, m_nRealCountY, kMaxCount);
    ShowFields();
    plat::Sleep(kFillPauseMs);
    RealArray();
}

void CWorkPageSet::VirtualFill()
{
    DOCCONTEXT* ctx = Context();
    if (ctx == nullptr)
        return;
    ReadControls();
    double w = 0.0;
    double h = 0.0;
    MeasureSelection(w, h);
    if (m_dFillW < 0.001)
        m_dFillW = 1.0 + std::trunc(w / 10.0);
    if (m_dFillH < 0.001)
        m_dFillH = 1.0 + std::trunc(h / 10.0);
    CWorkAutoArray dlg(CWorkAutoArray::kModeVirtual, m_dFillW, m_dFillH, m_dVirtGapX, m_dVirtGapY, w / 10.0,
                       h / 10.0, this, this);
    if (dlg.DoModal() != plat::IDOK)
        return;
    m_dVirtGapX = dlg.m_dSpaceX;
    m_dVirtGapY = dlg.m_dSpaceY;
    m_dFillW = dlg.m_dAreaW;
    m_dFillH = dlg.m_dAreaH;
    m_nVirtCols = FillCount(m_dFillW, w / 10.0, m_dVirtGapX, m_nVirtCols, kMaxRecordCount);
    m_nVirtRows = FillCount(m_dFillH, h / 10.0, m_dVirtGapY, m_nVirtRows, kMaxRecordCount);
    ShowFields();
    plat::Sleep(kFillPauseMs);
    VirtualArray();
}
