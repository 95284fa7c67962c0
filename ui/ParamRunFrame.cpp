#include "ParamRunFrame.h"

#include "qtplatform/NumberEdit.h"
#include "XPButton.h"
#include "platform/Prompt.h"
#include "settings/LanguageTable.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>

namespace {

constexpr char16_t kSection[] = u"phase3:work-tool";

struct Field {
    int edit;
    int label;
    int entry;
    const char* text;
};
constexpr Field kFields[] = {
    {CParamRunFrame::IDC_SPEED, 1224, 30, "Speed (mm/s)"},
    {CParamRunFrame::IDC_MIN_POWER1, 1225, 31, "Minimum power 1 (%)"},
    {CParamRunFrame::IDC_MAX_POWER1, 1226, 32, "Maximum power 1 (%)"},
    {CParamRunFrame::IDC_MIN_POWER2, 1227, 33, "Minimum power 2 (%)"},
    {CParamRunFrame::IDC_MAX_POWER2, 1228, 34, "Maximum power 2 (%)"},
    {CParamRunFrame::IDC_MARGIN, 1230, 45, "Margin (mm)"},
};
constexpr int kPowerEdits[] = {CParamRunFrame::IDC_MIN_POWER1, CParamRunFrame::IDC_MAX_POWER1,
                               CParamRunFrame::IDC_MIN_POWER2, CParamRunFrame::IDC_MAX_POWER2};

} // namespace

CParamRunFrame::CParamRunFrame(QWidget* parent) : CDialogBase(IDD, kSection, parent)
{
    setWindowTitle(QStringLiteral("Run Frame"));
    auto* grid = new QGridLayout(this);
    m_laser = new QCheckBox(QStringLiteral("Laser on"), this);
    m_laser->setObjectName(QString::number(IDC_LASER));
    grid->addWidget(m_laser, 0, 0, 1, 2);
    int row = 1;
    for (const Field& f : kFields) {
        auto* label = new QLabel(QString::fromLatin1(f.text), this);
        label->setObjectName(QString::number(f.label));
        grid->addWidget(label, row, 0);
        grid->addWidget(MakeNumberEdit(f.edit, this), row, 1);
        ++row;
    }
    auto* ok = new CXPButton(QStringLiteral("OK"), this);
    ok->setObjectName(QString::number(IDC_OK));
    ok->setDefault(true);
    grid->addWidget(ok, row, 1, Qt::AlignRight);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_laser, &QCheckBox::clicked, this, [this](bool on) { EnablePowers(on); });
}

QLineEdit* CParamRunFrame::Edit(int id) const
{
    return findChild<QLineEdit*>(QString::number(id));
}

void CParamRunFrame::OnInitDialog()
{
    if (FindLanguageSection(RegisteredLanguageTable(), kSection) >= 0) {
        SetTitleFromSection(28);
        SetTextFromSection(m_laser, 29);
        for (const Field& f : kFields)
            SetTextFromSection(findChild<QLabel*>(QString::number(f.label)), f.entry);
        SetTextFromSection(findChild<QWidget*>(QString::number(IDC_OK)), 26);
    }
    m_laser->setChecked(m_bLaser != 0);
    const double values[] = {m_dSpeed, m_dMinPower1, m_dMaxPower1, m_dMinPower2, m_dMaxPower2, m_dMargin};
    for (std::size_t i = 0; i < std::size(kFields); ++i)
        Edit(kFields[i].edit)->setText(NumberText(values[i]));
    EnablePowers(m_bLaser != 0);
}

void CParamRunFrame::EnablePowers(bool on)
{
    for (int id : kPowerEdits)
        Edit(id)->setEnabled(on);
}

bool CParamRunFrame::OnOK()
{
    double* members[] = {&m_dSpeed, &m_dMinPower1, &m_dMaxPower1, &m_dMinPower2, &m_dMaxPower2, &m_dMargin};
    double values[std::size(kFields)];
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        values[i] = *members[i];
        // A power edit switched off with the laser may hold anything: its
        // value is not used, so it keeps the one it had.
        QLineEdit* edit = Edit(kFields[i].edit);
        if (!edit->isEnabled()) {
            ReadNumberEdit(edit, values[i]);
            continue;
        }
        if (!TakeNumberEdit(edit, values[i]))
            return false;
    }
    for (std::size_t i = 0; i < std::size(kFields); ++i)
        *members[i] = values[i];
    m_bLaser = m_laser->isChecked() ? 1 : 0;
    return true;
}

bool CParamRunFrame::Ask(CWorkPageWork::RunFrameSettings& values)
{
    CParamRunFrame dialog(QApplication::activeWindow());
    dialog.m_bLaser = values.laser != 0 ? 1 : 0;
    dialog.m_dSpeed = values.speed;
    dialog.m_dMinPower1 = values.minPower1;
    dialog.m_dMaxPower1 = values.maxPower1;
    dialog.m_dMinPower2 = values.minPower2;
    dialog.m_dMaxPower2 = values.maxPower2;
    dialog.m_dMargin = values.margin;
    if (dialog.DoModal() != plat::IDOK)
        return false;
    values.laser = dialog.m_bLaser != 0 ? 1 : 0;
    values.speed = dialog.m_dSpeed;
    values.minPower1 = dialog.m_dMinPower1;
    values.maxPower1 = dialog.m_dMaxPower1;
    values.minPower2 = dialog.m_dMinPower2;
    values.maxPower2 = dialog.m_dMaxPower2;
    values.margin = dialog.m_dMargin;
    return true;
}
