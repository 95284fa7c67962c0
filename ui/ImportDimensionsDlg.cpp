#include "ImportDimensionsDlg.h"

#include "XPButton.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

constexpr std::uint8_t kAutomatic = 0;
constexpr std::uint8_t kInch = 1;
constexpr std::uint8_t kMillimetre = 2;

} // namespace

CImportDimensionsDlg::CImportDimensionsDlg(std::uint8_t unit, QWidget* parent)
    : CDialogBase(IDD, u"phase16:import-text", parent), m_nUnit(unit)
{
    // The built-in texts, kept where the language table has none.
    setWindowTitle(QStringLiteral("Drawing Unit"));
    m_radios = new QButtonGroup(this);
    auto* layout = new QVBoxLayout(this);
    const struct {
        int id;
        const char* text;
    } radios[] = {{IDC_AUTOMATIC, "Automatic"}, {IDC_MILLIMETRE, "Millimetre"}, {IDC_INCH, "Inch"}};
    for (const auto& r : radios) {
        auto* radio = new QRadioButton(QString::fromLatin1(r.text), this);
        radio->setObjectName(QString::number(r.id));
        m_radios->addButton(radio, r.id);
        layout->addWidget(radio);
    }
    m_ok = new CXPButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QString::number(IDC_OK));
    m_ok->setDefault(true);
    layout->addWidget(m_ok, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_radios, &QButtonGroup::idClicked, this, [this](int id) {
        m_nUnit = id == IDC_AUTOMATIC ? kAutomatic : id == IDC_INCH ? kInch : kMillimetre;
    });
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

QRadioButton* CImportDimensionsDlg::Radio(int id) const { return static_cast<QRadioButton*>(m_radios->button(id)); }

std::uint8_t CImportDimensionsDlg::UnitOf(std::uint8_t stored)
{
    return stored == kAutomatic || stored == kInch ? stored : kMillimetre;
}

int CImportDimensionsDlg::RadioOf(std::uint8_t unit)
{
    switch (UnitOf(unit)) {
    case kAutomatic:
        return IDC_AUTOMATIC;
    case kInch:
        return IDC_INCH;
    default:
        return IDC_MILLIMETRE;
    }
}

void CImportDimensionsDlg::OnInitDialog()
{
    SetTitleFromSection(9);
    SetTextFromSection(Radio(IDC_AUTOMATIC), 10);
    SetTextFromSection(Radio(IDC_MILLIMETRE), 11);
    SetTextFromSection(Radio(IDC_INCH), 12);
    SetTextFromSection(m_ok, 2);

    m_nUnit = UnitOf(m_nUnit);
    Radio(RadioOf(m_nUnit))->setChecked(true);
}
