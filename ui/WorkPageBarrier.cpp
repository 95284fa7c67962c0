#include "WorkPageBarrier.h"

#include "XPButton.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "processing/PathProc.h"
#include "settings/ReadParamFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <cmath>

namespace {

// How an edit's value goes into the record.
enum class Scale {
    Length,  // mm x 10
    Spacing, // mm, at least 0.1, x 10
    Plain,   // a gradient, as entered
};

// A value below this (in mm) counts as no size at a mode change.
constexpr double kNoSize = 0.001;

double EditValue(const QLineEdit* edit)
{
    const double v = edit->text().trimmed().toDouble();
    return std::isfinite(v) ? v : 0.0;
}

QString ShownValue(double v)
{
    return QString::number(v, 'g', 15);
}

} // namespace

struct CWorkPageBarrier::Field {
    int edit;
    int label; // 0: none of its own
    int text;  // entry of the label's text
    double BARRIERPARAMS::*value;
    Scale scale;
};

const std::array<CWorkPageBarrier::Field, 17>& CWorkPageBarrier::Fields()
{
    static const std::array<Field, 17> fields = {{
        {IDC_WIDTH, 1198, 8, &BARRIERPARAMS::m_guide_width, Scale::Length},
        {IDC_WIDTH_GRAD, 1200, 10, &BARRIERPARAMS::m_width_grad, Scale::Plain},
        {IDC_HEIGHT, 1199, 9, &BARRIERPARAMS::m_guide_hight, Scale::Length},
        {IDC_HEIGHT_GRAD, 1201, 10, &BARRIERPARAMS::m_hight_grad, Scale::Plain},
        {IDC_UP, 1202, 11, &BARRIERPARAMS::m_guide_up, Scale::Spacing},
        {1117, 1205, 10, &BARRIERPARAMS::m_up_grad, Scale::Plain},
        {IDC_DOWN, 1203, 12, &BARRIERPARAMS::m_guide_down, Scale::Spacing},
        {1118, 1206, 10, &BARRIERPARAMS::m_down_grad, Scale::Plain},
        {IDC_LEFT, 1204, 13, &BARRIERPARAMS::m_guide_left, Scale::Spacing},
        {1121, 1209, 10, &BARRIERPARAMS::m_left_grad, Scale::Plain},
        {IDC_RIGHT, 1207, 14, &BARRIERPARAMS::m_guide_right, Scale::Spacing},
        {1122, 1210, 10, &BARRIERPARAMS::m_right_grad, Scale::Plain},
        {1123, 1208, 15, &BARRIERPARAMS::m_cntr_offsetx, Scale::Length},
        {1124, 1211, 16, &BARRIERPARAMS::m_cntr_offsety, Scale::Length},
        {1125, 1216, 23, &BARRIERPARAMS::m_dislocation_row, Scale::Length},
        {1126, 0, 0, &BARRIERPARAMS::m_dislocation_column, Scale::Length},
        {1128, 1215, 22, &BARRIERPARAMS::m_reserve_side, Scale::Length},
    }};
    return fields;
}

BARRIERPARAMS CWorkPageBarrier::DefaultParams()
{
    BARRIERPARAMS p;
    p.m_guide_width = 10.0;
    p.m_guide_hight = 10.0;
    p.m_guide_up = 20.0;
    p.m_guide_down = 20.0;
    p.m_guide_left = 20.0;
    p.m_guide_right = 20.0;
    p.m_deri_ratio = 0.9;
    return p;
}

CWorkPageBarrier::CWorkPageBarrier(QWidget* parent) : WorkPageBase(IDD, u"phase18:light-barrier", parent)
{
    auto* grid = new QGridLayout(this);
    auto label = [this](int id) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::number(id));
        return l;
    };
    grid->addWidget(label(1194), 0, 0);
    grid->addWidget(label(1195), 0, 2);
    m_mode = new QComboBox(this);
    m_mode->setObjectName(QString::number(IDC_MODE));
    grid->addWidget(m_mode, 0, 3);

    // Each length beside its gradient; the rest one to a row.
    int row = 1;
    int column = 0;
    const auto& fields = Fields();
    for (std::size_t k = 0; k < fields.size(); ++k) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::number(fields[k].edit));
        m_edits[k] = edit;
        if (fields[k].label != 0)
            grid->addWidget(label(fields[k].label), row, column);
        grid->addWidget(edit, row, column + 1);
        const bool paired = k + 1 < 12 && fields[k].scale != Scale::Plain;
        if (paired) {
            column = 2;
        } else {
            column = 0;
            ++row;
        }
    }
    grid->addWidget(label(1214), row++, 0);
    m_rowDisloc = new QCheckBox(this);
    m_rowDisloc->setObjectName(QString::number(IDC_ROW_DISLOC));
    grid->addWidget(m_rowDisloc, row, 0, 1, 2);
    m_columnDisloc = new QCheckBox(this);
    m_columnDisloc->setObjectName(QString::number(IDC_COLUMN_DISLOC));
    grid->addWidget(m_columnDisloc, row++, 2, 1, 2);
    m_test = new CXPButton(this);
    m_test->setObjectName(QString::number(IDC_TEST));
    m_apply = new CXPButton(this);
    m_apply->setObjectName(QString::number(IDC_APPLY));
    grid->addWidget(m_test, row, 0, 1, 2);
    grid->addWidget(m_apply, row, 2, 1, 2);
    grid->setRowStretch(row + 1, 1);

    connect(m_mode, &QComboBox::activated, this, [this] { OnModeChange(); });
    connect(m_test, &QPushButton::clicked, this, [this] { OnTest(); });
    connect(m_apply, &QPushButton::clicked, this, [this] { OnApply(); });
}

void CWorkPageBarrier::SetOwner(DOCCONTEXT* context, plat::ViewWindow* view)
{
    StoreOwner(context, view);
}

QLineEdit* CWorkPageBarrier::Edit(int id) const
{
    for (QLineEdit* edit : m_edits) {
        if (edit->objectName().toInt() == id)
            return edit;
    }
    return nullptr;
}

QCheckBox* CWorkPageBarrier::Check(int id) const
{
    return id == IDC_ROW_DISLOC ? m_rowDisloc : id == IDC_COLUMN_DISLOC ? m_columnDisloc : nullptr;
}

void CWorkPageBarrier::OnInitDialog()
{
    auto text = [this](int id, int k) { SetTextFromSection(findChild<QWidget*>(QString::number(id)), k); };
    text(1194, 1);
    text(1195, 2);
    m_mode->clear();
    for (int k : {4, 5, 6, 7, 3})
        m_mode->addItem(QString::fromStdU16String(SectionText(k)));
    for (const Field& f : Fields()) {
        if (f.label != 0)
            text(f.label, f.text);
    }
    text(1214, 17);
    text(IDC_ROW_DISLOC, 18);
    text(IDC_COLUMN_DISLOC, 19);
    text(IDC_TEST, 20);
    text(IDC_APPLY, 21);

    m_params = DefaultParams();
    CReadParamFile().ReadBarrierParam(m_params);
    // A mode the combo does not offer shows (and is used as) the first one.
    const int mode = m_params.m_guide_mode;
    m_mode->setCurrentIndex(mode >= 0 && mode < m_mode->count() ? mode : 0);
    const auto& fields = Fields();
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const double v = m_params.*fields[k].value;
        m_display[k] = fields[k].scale == Scale::Plain ? v : v / 10.0;
    }
    m_rowDisloc->setChecked(m_params.m_row_disloc != 0);
    m_columnDisloc->setChecked(m_params.m_column_disloc != 0);
    ShowValues();
}

void CWorkPageBarrier::ReadControls()
{
    for (std::size_t k = 0; k < m_edits.size(); ++k)
        m_display[k] = EditValue(m_edits[k]);
}

void CWorkPageBarrier::ShowValues()
{
    for (std::size_t k = 0; k < m_edits.size(); ++k)
        m_edits[k]->setText(ShownValue(m_display[k]));
}

void CWorkPageBarrier::OnModeChange()
{
    ReadControls();
    for (int id : {IDC_WIDTH, IDC_HEIGHT, IDC_WIDTH_GRAD, IDC_HEIGHT_GRAD})
        Edit(id)->setEnabled(true);
    // Fields() lists width, width gradient, height, height gradient first.
    double& width = m_display[0];
    double& widthGrad = m_display[1];
    double& height = m_display[2];
    double& heightGrad = m_display[3];
    if (width < kNoSize && height < kNoSize) {
        width = height = 1.0;
        widthGrad = heightGrad = 0.0;
    } else if (height < kNoSize && m_mode->currentIndex() != 0) {
        height = width;
        heightGrad = widthGrad;
    }
    ShowValues();
}

void CWorkPageBarrier::OnTest()
{
    DOCCONTEXT* ctx = Context();
    if (ctx == nullptr || View() == nullptr)
        return;
    ReadControls();
    m_params.m_guide_mode = std::max(m_mode->currentIndex(), 0);
    const auto& fields = Fields();
    for (std::size_t k = 0; k < fields.size(); ++k) {
        double v = m_display[k];
        if (fields[k].scale == Scale::Spacing)
            v = std::max(v, 0.1);
        m_params.*fields[k].value = fields[k].scale == Scale::Plain ? v : v * 10.0;
    }
    m_params.m_row_disloc = m_rowDisloc->isChecked() ? 1 : 0;
    m_params.m_column_disloc = m_columnDisloc->isChecked() ? 1 : 0;
    CReadParamFile().WriteBarrierParam(m_params);

    if (ctx->m_pCurrent == nullptr)
        return;
    auto patterned = [](const CDocData* o) { return o->m_bClosed != 0 && (o->IsSelected() != 0 || o->m_pAttached != nullptr); };
    bool any = false;
    for (const CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr && !any; o = o->m_pNext)
        any = patterned(o);
    // Open paths alone give no pattern and take no undo step.
    if (!any)
        return;
    CDocState::PushHistory(ctx);
    bool made = false;
    for (CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext) {
        if (!patterned(o))
            continue;
        DeleteObjectList(o->m_pAttached);
        o->m_pAttached = CPathProc::MakeLightGuidePattern(o, m_params, ctx);
        made = made || o->m_pAttached != nullptr;
    }
    if (made)
        RepaintArea(ctx->m_rcSelect);
}

void CWorkPageBarrier::OnApply()
{
    DOCCONTEXT* ctx = Context();
    if (ctx == nullptr || View() == nullptr || ctx->m_pCurrent == nullptr)
        return;
    CDocData*& head = ctx->m_pCurrent->m_pFirst;
    bool changed = false;
    for (CDocData* o = head; o != nullptr; o = o->m_pNext) {
        CDocData* first = o->m_pAttached;
        if (first == nullptr)
            continue;
        o->m_pAttached = nullptr;
        CDocData* last = first;
        while (last->m_pNext != nullptr)
            last = last->m_pNext;
        first->m_pPrev = o->m_pPrev;
        if (o->m_pPrev != nullptr)
            o->m_pPrev->m_pNext = first;
        else
            head = first;
        last->m_pNext = o;
        o->m_pPrev = last;
        changed = true;
    }
    if (!changed)
        return;
    // No step of its own: undoing the test's step removes both.
    ctx->NoteChange();
    RepaintArea(ctx->m_rcSelect);
}
