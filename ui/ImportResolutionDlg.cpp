#include "ImportResolutionDlg.h"

#include "PltImportRsCalcDlg.h"
#include "XPButton.h"
#include "platform/NumText.h"
#include "platform/Prompt.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr std::int32_t kLargest = std::numeric_limits<std::int32_t>::max();
constexpr double kMmPerInch = 25.4;

} // namespace

CImportResolutionDlg::CImportResolutionDlg(std::int32_t resolution, QWidget* parent)
    : CDialogBase(IDD, u"phase16:import-text", parent), m_nResolution(resolution)
{
    // The built-in texts, kept where the language table has none.
    setWindowTitle(QStringLiteral("Plotter Resolution"));
    m_radios = new QButtonGroup(this);
    const struct {
        int id;
        const char* text;
    } radios[] = {{IDC_1000, "1000 dpi"}, {IDC_1016, "1016 dpi"}, {IDC_OTHER, "Other (dpi)"}};
    for (const auto& r : radios) {
        auto* radio = new QRadioButton(QString::fromLatin1(r.text), this);
        radio->setObjectName(QString::number(r.id));
        m_radios->addButton(radio, r.id);
    }
    m_otherEdit = new QLineEdit(this);
    m_otherEdit->setObjectName(QString::number(IDC_OTHER_EDIT));
    m_calculator = new CXPButton(QStringLiteral("<<"), this);
    m_calculator->setObjectName(QString::number(IDC_CALCULATOR));
    m_calculator->setAutoDefault(false);
    m_ok = new CXPButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QString::number(IDC_OK));
    m_ok->setDefault(true);

    connect(m_radios, &QButtonGroup::idClicked, this, &CImportResolutionDlg::OnRadio);
    // Only the operator's edits: the texts the dialog writes back itself
    // must not come round again.
    connect(m_otherEdit, &QLineEdit::textEdited, this, &CImportResolutionDlg::OnOtherEdited);
    connect(m_calculator, &QPushButton::clicked, this, &CImportResolutionDlg::OnCalculator);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(Radio(IDC_1000), 0, 0, 1, 3);
    layout->addWidget(Radio(IDC_1016), 1, 0, 1, 3);
    layout->addWidget(Radio(IDC_OTHER), 2, 0);
    layout->addWidget(m_otherEdit, 2, 1);
    layout->addWidget(m_calculator, 2, 2);
    layout->addWidget(m_ok, 3, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QRadioButton* CImportResolutionDlg::Radio(int id) const { return static_cast<QRadioButton*>(m_radios->button(id)); }

int CImportResolutionDlg::RadioOf(std::int32_t resolution)
{
    if (resolution == 1000)
        return IDC_1000;
    if (resolution == 1016)
        return IDC_1016;
    return IDC_OTHER;
}

std::int32_t CImportResolutionDlg::ParseOther(std::string_view text)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(plat::ParseInt(text), 0, kLargest));
}

std::int32_t CImportResolutionDlg::DotsPerInchOf(double unitsPerMm)
{
    const double dpi = unitsPerMm * kMmPerInch;
    if (std::isnan(dpi))
        return 0;
    return static_cast<std::int32_t>(std::clamp(dpi, 0.0, static_cast<double>(kLargest)) + 0.5);
}

void CImportResolutionDlg::OnInitDialog()
{
    SetTitleFromSection(0);
    SetTextFromSection(Radio(IDC_OTHER), 1);
    SetTextFromSection(m_ok, 2);

    // A stored negative value is shown, and taken, as typing it would be.
    m_nOther = std::max<std::int32_t>(m_nOther, 0);
    const int radio = RadioOf(m_nResolution);
    Radio(radio)->setChecked(true);
    EnableOther(radio == IDC_OTHER);
    m_otherEdit->setText(QString::number(m_nOther));
}

bool CImportResolutionDlg::OnOK()
{
    // With "other" checked the value shown is the one returned, also when
    // the stored resolution was another.
    if (m_radios->checkedId() == IDC_OTHER)
        m_nResolution = m_nOther;
    return true;
}

void CImportResolutionDlg::OnRadio(int id)
{
    switch (id) {
    case IDC_1000:
        m_nResolution = 1000;
        break;
    case IDC_1016:
        m_nResolution = 1016;
        break;
    default:
        m_nResolution = m_nOther;
        break;
    }
    EnableOther(id == IDC_OTHER);
}

void CImportResolutionDlg::OnOtherEdited(const QString& text)
{
    if (text.isEmpty())
        return;
    SetOther(ParseOther(text.toStdString()));
}

void CImportResolutionDlg::OnCalculator()
{
    CPltImportRsCalcDlg calculator(this);
    calculator.m_dPltMaxWidth = m_dPltWidth;
    calculator.m_dPltMaxHeight = m_dPltHeight;
    if (calculator.DoModal() != plat::IDOK)
        return;
    SetOther(DotsPerInchOf(calculator.m_dResolution));
}

void CImportResolutionDlg::SetOther(std::int32_t value)
{
    m_nOther = value;
    m_nResolution = value;
    const QString text = QString::number(value);
    m_otherEdit->setText(text);
    m_otherEdit->setCursorPosition(static_cast<int>(text.size()));
}

void CImportResolutionDlg::EnableOther(bool enable)
{
    m_otherEdit->setEnabled(enable);
    m_calculator->setEnabled(enable);
}
