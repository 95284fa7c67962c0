#include "WorkPageExport.h"

#include "qtplatform/NumberEdit.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "platform/NumText.h"
#include "platform/ViewWindow.h"
#include "settings/MachineNode.h"
#include "settings/ReadParamFile.h"
#include "settings/SoftwareSettings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr std::uint32_t kMaxHeads = 255;
constexpr double kMaxSpacing = 2147483647.0;
constexpr double kSplitDistanceMargin = 50.0; // mm below the work-area height
// The split-head controls, shown only while split feed is ticked.
constexpr int kHeadControls[] = {CWorkPageExport::IDC_HEADS_ON, 1324, 1325, CWorkPageExport::IDC_HEAD_SPACING,
                                 CWorkPageExport::IDC_HEAD_COUNT, 1329};

struct ControlText {
    int id;
    int entry;
    const char* text; // the template's own text
};
constexpr ControlText kTexts[] = {
    {1166, 1, "Feed Repeat"}, {1167, 2, "Count"},       {1168, 3, "Length (mm)"},  {1170, 4, "Delay (s)"},
    {1171, 5, "Feed Repeat"}, {1173, 6, "Split Feed"},  {1174, 8, "Distance (mm)"}, {1175, 9, "Coefficient"},
    {1172, 10, "Split Feed"}, {1256, 11, "Split Heads"}, {1325, 12, "Heads"},       {1324, 13, "Spacing"},
};

double Round4(double v)
{
    return std::round(v * 10000.0) / 10000.0;
}

// A typed delay in the record's milliseconds: the job sends whole seconds,
// so the nearest whole second is kept (as FeedDelaySeconds rounds), as far
// as its milliseconds fit the record; NaN 0.
std::int32_t SecondsToMs(double seconds)
{
    if (std::isnan(seconds))
        return 0;
    constexpr double kMaxSeconds = std::numeric_limits<std::int32_t>::max() / 1000;
    return static_cast<std::int32_t>(std::round(std::clamp(seconds, -kMaxSeconds, kMaxSeconds))) * 1000;
}

// World units (0.1 mm) to mm, cut to whole hundredths of a world unit.
double SpacingOf(double world)
{
    return std::trunc(world * 100.0) * 0.001;
}

CGeoBox ObjectsBox(const CDocListNode& doc)
{
    CGeoBox box;
    doc.GetAllObjectsRect(box);
    return box;
}

double BoxHeight(const CDocListNode& doc)
{
    return doc.m_pFirst != nullptr ? ObjectsBox(doc).Height() : 0.0;
}

double BoxWidth(const CDocListNode& doc)
{
    return doc.m_pFirst != nullptr ? ObjectsBox(doc).Width() : 0.0;
}

} // namespace

CWorkPageExport::CWorkPageExport(QWidget* parent) : WorkPageBase(IDD, u"phase4:export-tool", parent)
{
    BuildControls();
}

void CWorkPageExport::BuildControls()
{
    auto named = [](QWidget* w, int id) {
        w->setObjectName(QString::number(id));
        return w;
    };
    auto label = [&](int id, QWidget* parent) { return named(new QLabel(parent), id); };
    auto edit = [&](int id, QWidget* parent) { return MakeNumberEdit(id, parent); };
    auto check = [&](int id, QWidget* parent) { return static_cast<QCheckBox*>(named(new QCheckBox(parent), id)); };

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(4, 4, 4, 4);

    auto* feed = static_cast<QGroupBox*>(named(new QGroupBox(this), 1166));
    auto* f = new QGridLayout(feed);
    f->addWidget(check(IDC_FEED_ON, feed), 0, 0, 1, 2);
    f->addWidget(label(1167, feed), 1, 0);
    f->addWidget(edit(IDC_FEED_COUNT, feed), 1, 1);
    f->addWidget(label(1168, feed), 2, 0);
    f->addWidget(edit(IDC_FEED_LENGTH, feed), 2, 1);
    f->addWidget(label(1170, feed), 3, 0);
    f->addWidget(edit(IDC_FEED_DELAY, feed), 3, 1);
    page->addWidget(feed);

    auto* split = static_cast<QGroupBox*>(named(new QGroupBox(this), 1173));
    auto* s = new QGridLayout(split);
    s->addWidget(check(IDC_SPLIT_ON, split), 0, 0, 1, 3);
    s->addWidget(label(1174, split), 1, 0);
    s->addWidget(edit(IDC_SPLIT_DISTANCE, split), 1, 1, 1, 2);
    s->addWidget(label(1175, split), 2, 0);
    s->addWidget(edit(IDC_RATIO, split), 2, 1, 1, 2);
    s->addWidget(check(IDC_HEADS_ON, split), 3, 0, 1, 3);
    s->addWidget(label(1325, split), 4, 0);
    QLineEdit* count = edit(IDC_HEAD_COUNT, split);
    count->setReadOnly(true);
    s->addWidget(count, 4, 1, 1, 2);
    s->addWidget(label(1324, split), 5, 0);
    s->addWidget(edit(IDC_HEAD_SPACING, split), 5, 1);
    auto* mm = static_cast<QLabel*>(label(1329, split));
    mm->setText(QStringLiteral("mm"));
    s->addWidget(mm, 5, 2);
    page->addWidget(split);
    page->addStretch(1);

    for (const ControlText& t : kTexts) {
        QWidget* control = findChild<QWidget*>(QString::number(t.id));
        if (auto* l = qobject_cast<QLabel*>(control))
            l->setText(QString::fromLatin1(t.text));
        else if (auto* b = qobject_cast<QCheckBox*>(control))
            b->setText(QString::fromLatin1(t.text));
        else if (auto* g = qobject_cast<QGroupBox*>(control))
            g->setTitle(QString::fromLatin1(t.text));
    }

    connect(Check(IDC_FEED_ON), &QCheckBox::clicked, this, [this] { OnFeedRepeat(); });
    connect(Check(IDC_SPLIT_ON), &QCheckBox::clicked, this, [this] { OnSplitFeed(); });
    connect(Check(IDC_HEADS_ON), &QCheckBox::clicked, this, [this] { OnSplitHeads(); });
    connect(Edit(IDC_HEAD_COUNT), &QLineEdit::textChanged, this, [this] { OnHeadCountChange(); });
    connect(Edit(IDC_HEAD_SPACING), &QLineEdit::textChanged, this, [this] { OnHeadSpacingChange(); });
    ShowHeadControls(false);
    WriteControls();
}

QLineEdit* CWorkPageExport::Edit(int id) const
{
    return findChild<QLineEdit*>(QString::number(id));
}

QCheckBox* CWorkPageExport::Check(int id) const
{
    return findChild<QCheckBox*>(QString::number(id));
}

void CWorkPageExport::OnInitDialog()
{
    for (const ControlText& t : kTexts)
        SetTextFromSection(findChild<QWidget*>(QString::number(t.id)), t.entry);
    ShowHeadControls(Check(IDC_SPLIT_ON)->isChecked());
}

void CWorkPageExport::SetOwner(DOCCONTEXT* context, plat::ViewWindow* view)
{
    StoreOwner(context, view);
}

void CWorkPageExport::showEvent(QShowEvent* event)
{
    WorkPageBase::showEvent(event);
    if (!event->spontaneous())
        UpdateFromDocument();
}

void CWorkPageExport::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous())
        WriteToDocument();
    WorkPageBase::hideEvent(event);
}

void CWorkPageExport::ShowHeadControls(bool show)
{
    m_headControlsHidden = !show;
    for (int id : kHeadControls)
        if (QWidget* w = findChild<QWidget*>(QString::number(id)))
            w->setVisible(show);
}

MachineNode* CWorkPageExport::CurrentMachine() const
{
    const DOCCONTEXT* context = Context();
    if (context == nullptr || context->m_pSettings == nullptr)
        return nullptr;
    return MachineAt(context->m_pSettings->m_pMachines, context->m_pSettings->m_nCurMachine);
}

void CWorkPageExport::StoreRatio()
{
    MachineNode* machine = CurrentMachine();
    if (machine == nullptr)
        return;
    machine->m_ratio = m_dRatio;
    CReadParamFile().WriteMacInfo(Context()->m_pSettings->m_pMachines, Context()->m_pSettings->m_nCurMachine);
}

void CWorkPageExport::Repaint() const
{
    if (plat::ViewWindow* view = View()) {
        view->InvalidateRect(nullptr, true);
        view->UpdateWindow();
    }
}

void CWorkPageExport::ReadControls()
{
    double count = m_nFeedCount;
    if (ReadNumberEdit(Edit(IDC_FEED_COUNT), count))
        m_nFeedCount = static_cast<std::int32_t>(std::clamp(std::trunc(count), -2147483648.0, 2147483647.0));
    ReadNumberEdit(Edit(IDC_FEED_LENGTH), m_dFeedLength);
    ReadNumberEdit(Edit(IDC_FEED_DELAY), m_dFeedDelay);
    ReadNumberEdit(Edit(IDC_SPLIT_DISTANCE), m_dSplitDistance);
    ReadNumberEdit(Edit(IDC_RATIO), m_dRatio);
    double spacing = m_dHeadSpacing;
    if (ReadNumberEdit(Edit(IDC_HEAD_SPACING), spacing))
        m_dHeadSpacing = std::clamp(spacing, 0.0, kMaxSpacing);
    double heads = m_nHeadCount;
    if (ReadNumberEdit(Edit(IDC_HEAD_COUNT), heads))
        m_nHeadCount = static_cast<std::uint32_t>(std::clamp(std::trunc(heads), 1.0, double(kMaxHeads)));
}

void CWorkPageExport::WriteControls()
{
    m_moving = true;
    Edit(IDC_FEED_COUNT)->setText(QString::number(m_nFeedCount));
    Edit(IDC_FEED_LENGTH)->setText(NumberText(m_dFeedLength));
    Edit(IDC_FEED_DELAY)->setText(NumberText(m_dFeedDelay));
    Edit(IDC_SPLIT_DISTANCE)->setText(NumberText(m_dSplitDistance));
    Edit(IDC_RATIO)->setText(NumberText(m_dRatio));
    Edit(IDC_HEAD_SPACING)->setText(NumberText(m_dHeadSpacing));
    Edit(IDC_HEAD_COUNT)->setText(QString::number(m_nHeadCount));
    m_moving = false;
}

void CWorkPageExport::ShowOnly(int id, const QString& text)
{
    m_moving = true;
    Edit(id)->setText(text);
    m_moving = false;
}

void CWorkPageExport::ShapeArray(ARRAYREC& array) const
{
    array.m_nRows = 1;
    array.m_nCols = static_cast<std::uint16_t>(m_nHeadCount);
    array.m_dDy = BoxHeight(*Context()->m_pCurrent);
    array.m_dDx = m_dHeadSpacing * 10.0;
}

void CWorkPageExport::UpdateFromDocument()
{
    DOCCONTEXT* context = Context();
    if (context == nullptr || context->m_pCurrent == nullptr)
        return;
    CDocListNode& doc = *context->m_pCurrent;
    QCheckBox* feedOn = Check(IDC_FEED_ON);
    if (doc.m_pFeed != nullptr) {
        m_nFeedCount = doc.m_pFeed->m_nCount;
        m_dFeedLength = Round4(doc.m_pFeed->m_dLength);
        m_dFeedDelay = FeedDelaySeconds(doc.m_pFeed->m_nDelayMs);
        feedOn->setChecked(true);
    } else {
        const double rows = doc.m_pArray != nullptr ? doc.m_pArray->m_nRows : 1;
        m_dFeedLength = Round4(BoxHeight(doc) * rows / 10.0);
        feedOn->setChecked(false);
    }

    MachineNode* machine = CurrentMachine();
    if (doc.m_pSplit == nullptr) {
        ShowHeadControls(false);
        Edit(IDC_HEAD_SPACING)->setEnabled(false);
        delete doc.m_pArray;
        doc.m_pArray = nullptr;
        m_dSplitDistance = machine != nullptr ? machine->m_ysize - kSplitDistanceMargin : 0.0;
        Check(IDC_SPLIT_ON)->setChecked(false);
    } else {
        m_dSplitDistance = doc.m_pSplit->m_dDistance;
        Check(IDC_SPLIT_ON)->setChecked(true);
        // The split-head switch stays within reach while split feed is on.
        ShowHeadControls(true);
        const bool heads = doc.m_pArray != nullptr;
        Edit(IDC_HEAD_SPACING)->setEnabled(heads);
        Check(IDC_HEADS_ON)->setChecked(heads);
        if (heads) {
            m_nHeadCount = std::clamp<std::uint32_t>(doc.m_pArray->m_nCols, 1, kMaxHeads);
            m_dHeadSpacing = SpacingOf(doc.m_pArray->m_dDx);
        }
    }
    m_dRatio = machine != nullptr ? machine->m_ratio : 0.0;
    WriteControls();
}

void CWorkPageExport::OnFeedRepeat()
{
    DOCCONTEXT* context = Context();
    if (context == nullptr || context->m_pCurrent == nullptr)
        return;
    ReadControls();
    CDocListNode& doc = *context->m_pCurrent;
    if (Check(IDC_FEED_ON)->isChecked()) {
        if (doc.m_pFeed == nullptr)
            doc.m_pFeed = new FEEDREPEAT;
        doc.m_pFeed->m_nCount = m_nFeedCount;
        doc.m_pFeed->m_dLength = m_dFeedLength;
        doc.m_pFeed->m_nDelayMs = SecondsToMs(m_dFeedDelay);
    } else {
        delete doc.m_pFeed;
        doc.m_pFeed = nullptr;
    }
}

void CWorkPageExport::OnSplitFeed()
{
    DOCCONTEXT* context = Context();
    if (context == nullptr || context->m_pCurrent == nullptr)
        return;
    ReadControls();
    const bool on = Check(IDC_SPLIT_ON)->isChecked();
    ShowHeadControls(on);
    Edit(IDC_HEAD_SPACING)->setEnabled(false);
    Check(IDC_HEADS_ON)->setChecked(false);
    // Either way the document changes (its records, exploded copies, the
    // heads' array): one undo step, and the document counts as modified.
    CDocState::PushHistory(context);
    CDocListNode* doc = context->m_pCurrent;
    if (on) {
        if (doc->m_pSplit == nullptr)
            doc->m_pSplit = new SPLITFEED;
        doc->m_pSplit->m_bOn = 1;
        doc->m_pSplit->m_dDistance = m_dSplitDistance;
        bool exploded = false;
        for (CDocData* o = doc->m_pFirst; o != nullptr; o = o->m_pNext) {
            if (o->m_pArray == nullptr)
                continue;
            exploded = true;
            o->ExplodeArray(context);
        }
        m_dHeadSpacing = SpacingOf(BoxWidth(*doc));
        m_nHeadCount = 2;
        StoreRatio();
        if (exploded)
            Repaint();
    } else {
        delete doc->m_pSplit;
        doc->m_pSplit = nullptr;
        const bool hadArray = doc->m_pArray != nullptr;
        delete doc->m_pArray;
        doc->m_pArray = nullptr;
        if (hadArray)
            Repaint();
    }
    WriteControls();
}

void CWorkPageExport::OnSplitHeads()
{
    DOCCONTEXT* context = Context();
    if (context == nullptr || context->m_pCurrent == nullptr)
        return;
    CDocState::PushHistory(context);
    CDocListNode& doc = *context->m_pCurrent;
    const bool on = Check(IDC_HEADS_ON)->isChecked();
    if (!on) {
        delete doc.m_pArray;
        doc.m_pArray = nullptr;
    } else {
        ReadControls();
        if (doc.m_pArray == nullptr) {
            doc.m_pArray = new ARRAYREC;
            doc.m_pArray->m_dAreaW = 9000.0;
            doc.m_pArray->m_dAreaH = 6000.0;
        }
        ShapeArray(*doc.m_pArray);
    }
    Edit(IDC_HEAD_SPACING)->setEnabled(on);
    WriteControls();
    Repaint();
}

void CWorkPageExport::OnHeadCountChange()
{
    if (m_moving)
        return;
    const std::string text = Edit(IDC_HEAD_COUNT)->text().toStdString();
    bool ok = false;
    const std::int64_t value = plat::ParseInt(text, &ok);
    if (text.empty() || !ok)
        return;
    m_nHeadCount = static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 1, kMaxHeads));
    DOCCONTEXT* context = Context();
    if (context != nullptr && context->m_pCurrent != nullptr && context->m_pCurrent->m_pArray != nullptr)
        context->m_pCurrent->m_pArray->m_nCols = static_cast<std::uint16_t>(m_nHeadCount);
    // Only a value that had to change is written back: the other edits may
    // hold typed values not read yet.
    if (QString::number(m_nHeadCount).toStdString() != text)
        ShowOnly(IDC_HEAD_COUNT, QString::number(m_nHeadCount));
}

void CWorkPageExport::OnHeadSpacingChange()
{
    if (m_moving)
        return;
    const std::string text = Edit(IDC_HEAD_SPACING)->text().toStdString();
    if (text.empty() || text.back() == '.')
        return;
    bool ok = false;
    const double value = plat::ParseDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return;
    m_dHeadSpacing = std::clamp(value, 0.0, kMaxSpacing);
    DOCCONTEXT* context = Context();
    if (context != nullptr && context->m_pCurrent != nullptr && context->m_pCurrent->m_pArray != nullptr) {
        context->m_pCurrent->m_pArray->m_dDx = m_dHeadSpacing * 10.0;
        Repaint();
    }
    // A number still being typed ("1.0", "2e") stays as typed.
    if (m_dHeadSpacing != value)
        ShowOnly(IDC_HEAD_SPACING, NumberText(m_dHeadSpacing));
}

void CWorkPageExport::WriteToDocument()
{
    DOCCONTEXT* context = Context();
    if (context == nullptr || context->m_pCurrent == nullptr)
        return;
    ReadControls();
    CDocListNode& doc = *context->m_pCurrent;
    if (doc.m_pFeed != nullptr) {
        doc.m_pFeed->m_nCount = m_nFeedCount;
        doc.m_pFeed->m_dLength = m_dFeedLength;
        doc.m_pFeed->m_nDelayMs = SecondsToMs(m_dFeedDelay);
    }
    if (doc.m_pSplit != nullptr) {
        doc.m_pSplit->m_bOn = 1;
        doc.m_pSplit->m_dDistance = m_dSplitDistance;
        StoreRatio();
    }
    if (doc.m_pArray != nullptr)
        ShapeArray(*doc.m_pArray);
}
