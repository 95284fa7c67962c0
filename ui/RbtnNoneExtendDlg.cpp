#include "RbtnNoneExtendDlg.h"

#include "qtplatform/NumberEdit.h"
#include "XPButton.h"
#include "model/DocContext.h"
#include "model/DocData.h"
#include "model/DocListNode.h"
#include "model/DocState.h"
#include "model/LeadInOut.h"
#include "settings/LanguageTable.h"
#include "settings/ShowProcess.h"
#include "settings/SoftwareSettings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

namespace {

constexpr char16_t kSection[] = u"phase11:edit-right-menu";
constexpr std::uint8_t kAutomaticKind = 2;
bool g_autoSide = true;

// A typed angle as a whole number of degrees, cut towards zero and held to
// the 32-bit range, so that a huge value still comes out as an angle.
std::int32_t WholeDegrees(double value)
{
    return static_cast<std::int32_t>(std::clamp(std::trunc(value), -2147483648.0, 2147483647.0));
}

CDocState* ToolOf(DOCCONTEXT* ctx)
{
    static CDocState base;
    return &CurrentToolOr(ctx, base);
}

void AddLeadPoints(CGeoBox& box, const LEADINOUT* rec)
{
    if (rec == nullptr)
        return;
    if (rec->m_bLeadIn != 0)
        box.Union(CGeoBox(rec->m_dInX, rec->m_dInX, rec->m_dInY, rec->m_dInY));
    if (rec->m_bLeadOut != 0)
        box.Union(CGeoBox(rec->m_dOutX, rec->m_dOutX, rec->m_dOutY, rec->m_dOutY));
}

} // namespace

bool CRbtnNoneExtendDlg::AutoSide()
{
    return g_autoSide;
}

void CRbtnNoneExtendDlg::SetAutoSide(bool on)
{
    g_autoSide = on;
}

CRbtnNoneExtendDlg::CRbtnNoneExtendDlg(DOCCONTEXT* ctx, QWidget* parent)
    : CDialogBase(IDD, kSection, parent), m_pContext(ctx)
{
    setWindowTitle(QStringLiteral("Lead-in and Lead-out"));
    auto* grid = new QGridLayout(this);
    struct Row {
        int check, angleLabel, angle, lengthLabel, length;
        const char *checkText, *angleText, *lengthText;
    };
    const Row rows[2] = {
        {IDC_LEAD_IN, 1135, IDC_IN_ANGLE, 1136, IDC_IN_LENGTH, "Lead-in", "Lead-in angle", "Lead-in length (mm)"},
        {IDC_LEAD_OUT, 1137, IDC_OUT_ANGLE, 1138, IDC_OUT_LENGTH, "Lead-out", "Lead-out angle",
         "Lead-out length (mm)"},
    };
    int r = 0;
    for (const Row& row : rows) {
        auto* check = new QCheckBox(QString::fromLatin1(row.checkText), this);
        check->setObjectName(QString::number(row.check));
        connect(check, &QCheckBox::clicked, this, [this] { EnableEdits(); });
        grid->addWidget(check, r++, 0, 1, 2);
        for (const auto& [labelId, editId, text] :
             {std::tuple{row.angleLabel, row.angle, row.angleText}, std::tuple{row.lengthLabel, row.length, row.lengthText}}) {
            auto* label = new QLabel(QString::fromLatin1(text), this);
            label->setObjectName(QString::number(labelId));
            grid->addWidget(label, r, 0);
            grid->addWidget(MakeNumberEdit(editId, this), r++, 1);
        }
    }
    auto* autoSide = new QCheckBox(QStringLiteral("Decide inside and outside"), this);
    autoSide->setObjectName(QString::number(IDC_AUTO_SIDE));
    connect(autoSide, &QCheckBox::clicked, this, [](bool on) { g_autoSide = on; });
    grid->addWidget(autoSide, r++, 0, 1, 2);
    auto* apply = new CXPButton(QStringLiteral("OK"), this);
    apply->setObjectName(QString::number(IDC_APPLY));
    apply->setDefault(true);
    grid->addWidget(apply, r, 1, Qt::AlignRight);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    connect(apply, &QPushButton::clicked, this, &QDialog::accept);
}

QLineEdit* CRbtnNoneExtendDlg::Edit(int id) const
{
    return findChild<QLineEdit*>(QString::number(id));
}

QCheckBox* CRbtnNoneExtendDlg::Check(int id) const
{
    return findChild<QCheckBox*>(QString::number(id));
}

void CRbtnNoneExtendDlg::OnInitDialog()
{
    if (FindLanguageSection(RegisteredLanguageTable(), kSection) >= 0) {
        SetTitleFromSection(5);
        for (const auto& [id, entry] : {std::pair{1135, 6}, std::pair{1136, 7}, std::pair{1137, 8},
                                        std::pair{1138, 9}, std::pair{IDC_APPLY, 10}, std::pair{IDC_LEAD_IN, 43},
                                        std::pair{IDC_LEAD_OUT, 44}, std::pair{IDC_AUTO_SIDE, 60}})
            SetTextFromSection(findChild<QWidget*>(QString::number(id)), entry);
    }
    // The first selected object with leads shows them.
    if (m_pContext != nullptr && m_pContext->m_pCurrent != nullptr) {
        for (const CDocData* o = m_pContext->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext) {
            const LEADINOUT* rec = o->m_pLeadInOut;
            if (o->IsSelected() == 0 || rec == nullptr)
                continue;
            m_bLeadIn = rec->m_bLeadIn;
            // Rounded to the nearest degree, so that a negative angle shows
            // as stored and applying again does not move it.
            m_nStartAngle = WholeDegrees(std::floor(rec->m_dInAngle + 0.5));
            m_dStartLength = rec->m_dInLength / 10.0;
            m_bLeadOut = rec->m_bLeadOut;
            m_nEndAngle = WholeDegrees(std::floor(rec->m_dOutAngle + 0.5));
            m_dEndLength = rec->m_dOutLength / 10.0;
            break;
        }
    }
    Edit(IDC_IN_ANGLE)->setText(QString::number(m_nStartAngle));
    Edit(IDC_IN_LENGTH)->setText(NumberText(m_dStartLength));
    Edit(IDC_OUT_ANGLE)->setText(QString::number(m_nEndAngle));
    Edit(IDC_OUT_LENGTH)->setText(NumberText(m_dEndLength));
    Check(IDC_LEAD_IN)->setChecked(m_bLeadIn != 0);
    Check(IDC_LEAD_OUT)->setChecked(m_bLeadOut != 0);
    Check(IDC_AUTO_SIDE)->setChecked(g_autoSide);
    EnableEdits();
}

void CRbtnNoneExtendDlg::EnableEdits()
{
    const bool in = Check(IDC_LEAD_IN)->isChecked();
    const bool out = Check(IDC_LEAD_OUT)->isChecked();
    Edit(IDC_IN_ANGLE)->setEnabled(in);
    Edit(IDC_IN_LENGTH)->setEnabled(in);
    Edit(IDC_OUT_ANGLE)->setEnabled(out);
    Edit(IDC_OUT_LENGTH)->setEnabled(out);
}

bool CRbtnNoneExtendDlg::ReadControls()
{
    double values[4] = {static_cast<double>(m_nStartAngle), m_dStartLength, static_cast<double>(m_nEndAngle),
                        m_dEndLength};
    const int ids[4] = {IDC_IN_ANGLE, IDC_IN_LENGTH, IDC_OUT_ANGLE, IDC_OUT_LENGTH};
    for (int i = 0; i < 4; ++i) {
        // An edit switched off keeps its value when it holds none.
        QLineEdit* edit = Edit(ids[i]);
        if (!edit->isEnabled())
            ReadNumberEdit(edit, values[i]);
        else if (!TakeNumberEdit(edit, values[i]))
            return false;
    }
    m_nStartAngle = WholeDegrees(values[0]);
    m_dStartLength = values[1];
    m_nEndAngle = WholeDegrees(values[2]);
    m_dEndLength = values[3];
    m_bLeadIn = Check(IDC_LEAD_IN)->isChecked() ? 1 : 0;
    m_bLeadOut = Check(IDC_LEAD_OUT)->isChecked() ? 1 : 0;
    g_autoSide = Check(IDC_AUTO_SIDE)->isChecked();
    return true;
}

bool CRbtnNoneExtendDlg::OnOK()
{
    if (!ReadControls())
        return false;
    ApplyLeads();
    return true;
}

void CRbtnNoneExtendDlg::ApplyLeads()
{
    DOCCONTEXT* ctx = m_pContext;
    if (ctx == nullptr || ctx->m_pCurrent == nullptr)
        return;
    CShowProcess progress;
    progress.Start(static_cast<std::int32_t>(std::min<std::uint32_t>(ToolOf(ctx)->CountSelected(ctx), INT32_MAX)));
    const std::uint8_t kind = g_autoSide ? kAutomaticKind : CDocData::SettingsOf(ctx).m_assist_mode;
    CGeoBox repaint;
    repaint.SetEmpty();
    bool stepped = false;
    for (CDocData* o = ctx->m_pCurrent->m_pFirst; o != nullptr; o = o->m_pNext) {
        const std::uint32_t type = o->GetType();
        if (o->IsSelected() == 0 || type == MT_POINT || type == MT_BITMAP)
            continue;
        if (!stepped) {
            // One undo step, taken before the first object changes; the
            // objects stay where they are (the copy goes to the history).
            CDocState::PushHistory(ctx);
            stepped = true;
        }
        repaint.Union(o->GetBoundRect());
        AddLeadPoints(repaint, o->m_pLeadInOut);
        LEADINOUT rec;
        if (o->m_pLeadInOut != nullptr)
            rec = *o->m_pLeadInOut;
        rec.m_bLeadIn = static_cast<std::uint8_t>(m_bLeadIn);
        rec.m_dInAngle = m_nStartAngle % kAngleModulus;
        rec.m_dInLength = m_dStartLength * 10.0;
        rec.m_bLeadOut = static_cast<std::uint8_t>(m_bLeadOut);
        rec.m_dOutAngle = m_nEndAngle % kAngleModulus;
        rec.m_dOutLength = m_dEndLength * 10.0;
        rec.m_nKind = kind;
        // Groups and texts hand the leads on to their children.
        SetLeadInOut(o, &rec);
        ApplyLeadInOut(ctx, o);
        AddLeadPoints(repaint, o->m_pLeadInOut);
        progress.Step();
    }
    CDocState::InvalidateSelectionArea(ctx, repaint);
}
