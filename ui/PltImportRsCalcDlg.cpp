#include "PltImportRsCalcDlg.h"

#include "XPButton.h"
#include "platform/NumText.h"
#include "settings/LanguageTable.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include <cmath>

namespace {

constexpr std::u16string_view kSection = u"phase24:plt-im-rs-calc";
// A real size this close to 0 gives no resolution rather than a division.
constexpr double kSmallestRealSize = 0.01;
constexpr double kThinnestWidth = 0.9;

} // namespace

CPltImportRsCalcDlg::CPltImportRsCalcDlg(QWidget* parent) : CDialogBase(IDD, kSection, parent)
{
    // The built-in texts, kept when the language table has no section.
    setWindowTitle(QStringLiteral("PLT import resolution caculate"));
    m_formula = new QLabel(QStringLiteral("Resolution = PLTMaxWidth ÷ RealSize"), this);
    m_formula->setObjectName(QString::number(IDC_FORMULA));
    m_realSizeLabel = new QLabel(QStringLiteral("Real Size"), this);
    m_realSizeLabel->setObjectName(QString::number(IDC_REAL_SIZE_LABEL));
    m_realSize = new QLineEdit(this);
    m_realSize->setObjectName(QString::number(IDC_REAL_SIZE));
    m_calculate = new CXPButton(QStringLiteral("Ok"), this);
    m_calculate->setObjectName(QString::number(IDC_CALCULATE));
    m_calculate->setDefault(true);
    connect(m_calculate, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_formula, 0, 0, 1, 2);
    layout->addWidget(m_realSizeLabel, 1, 0);
    layout->addWidget(m_realSize, 1, 1);
    layout->addWidget(m_calculate, 2, 1, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool CPltImportRsCalcDlg::MeasuresWidth(double width) { return std::fabs(width) > kThinnestWidth; }

double CPltImportRsCalcDlg::Calculate(double width, double height, std::string_view realSizeText)
{
    const double realSize = plat::ParseDouble(realSizeText);
    if (!std::isfinite(realSize) || std::fabs(realSize) <= kSmallestRealSize)
        return 0.0;
    const double result = (MeasuresWidth(width) ? width : height) / realSize;
    return std::isfinite(result) ? result : 0.0;
}

void CPltImportRsCalcDlg::OnInitDialog()
{
    // Only this dialog's own section: without it the built-in texts stay.
    if (FindLanguageSection(RegisteredLanguageTable(), kSection) < 0)
        return;
    SetTitleFromSection(0);
    const std::u16string formula = SectionText(1) + u" = " + SectionText(MeasuresWidth(m_dPltMaxWidth) ? 2 : 3) +
                                   u" ÷ " + SectionText(4);
    m_formula->setText(QString::fromStdU16String(formula));
    SetTextFromSection(m_realSizeLabel, 4);
    SetTextFromSection(m_calculate, 6);
    m_realSize->setText(QStringLiteral("0"));
}

bool CPltImportRsCalcDlg::OnOK()
{
    m_dResolution = Calculate(m_dPltMaxWidth, m_dPltMaxHeight, m_realSize->text().toStdString());
    return true;
}
