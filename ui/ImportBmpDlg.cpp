#include "ImportBmpDlg.h"

#include "XPButton.h"
#include "platform/NumText.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleValidator>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <charconv>
#include <cmath>

namespace {

const QString kAngles[] = {QStringLiteral("0"), QStringLiteral("45")};

} // namespace

CImportBmpDlg::CImportBmpDlg(std::uint8_t grey, int dot, int angle, double dotSize, QWidget* parent)
    : CDialogBase(IDD, u"phase16:import-text", parent), m_bGrey(grey), m_nDot(dot),
      m_strAngle(plat::FormatInt(angle)), m_dDotSize(dotSize)
{
    // The built-in texts, kept where the language table has none.
    setWindowTitle(QStringLiteral("Bitmap Import"));
    m_radios = new QButtonGroup(this);
    auto* greyRadio = new QRadioButton(QStringLiteral("Greyscale"), this);
    greyRadio->setObjectName(QString::number(IDC_GREY));
    m_radios->addButton(greyRadio, IDC_GREY);
    auto* twoLevel = new QRadioButton(QStringLiteral("Two-level"), this);
    twoLevel->setObjectName(QString::number(IDC_TWO_LEVEL));
    m_radios->addButton(twoLevel, IDC_TWO_LEVEL);
    m_dot = new QCheckBox(QStringLiteral("Dot Mode"), this);
    m_dot->setObjectName(QString::number(IDC_DOT));
    m_angleLabel = new QLabel(QStringLiteral("Dot Angle (°)"), this);
    m_angleLabel->setObjectName(QString::number(IDC_ANGLE_LABEL));
    m_angle = new QComboBox(this);
    m_angle->setObjectName(QString::number(IDC_ANGLE));
    m_angle->setEditable(false);
    for (const QString& item : kAngles)
        m_angle->addItem(item);
    m_sizeLabel = new QLabel(QStringLiteral("Dot Size (mm)"), this);
    m_sizeLabel->setObjectName(QString::number(IDC_SIZE_LABEL));
    m_size = new QLineEdit(this);
    m_size->setObjectName(QString::number(IDC_SIZE));
    auto* validator = new QDoubleValidator(m_size);
    validator->setLocale(QLocale::c());
    m_size->setValidator(validator);
    m_ok = new CXPButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QString::number(IDC_OK));
    m_ok->setDefault(true);

    connect(m_radios, &QButtonGroup::idClicked, this, [this](int id) {
        m_bGrey = id == IDC_GREY ? 1 : 0;
        EnableDotControls(m_bGrey != 0);
    });
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(greyRadio, 0, 0);
    layout->addWidget(twoLevel, 0, 1);
    layout->addWidget(m_dot, 1, 0, 1, 2);
    layout->addWidget(m_angleLabel, 2, 0);
    layout->addWidget(m_angle, 2, 1);
    layout->addWidget(m_sizeLabel, 3, 0);
    layout->addWidget(m_size, 3, 1);
    layout->addWidget(m_ok, 4, 1, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QRadioButton* CImportBmpDlg::Radio(int id) const { return static_cast<QRadioButton*>(m_radios->button(id)); }

QString CImportBmpDlg::AngleItemOf(const std::string& angle)
{
    for (const QString& item : kAngles) {
        if (item.toStdString() == angle)
            return item;
    }
    return kAngles[0];
}

bool CImportBmpDlg::ReadDotSize(std::string_view text, double& size)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    // from_chars takes no plus sign; a minus it reads itself.
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value))
        return false;
    size = value;
    return true;
}

void CImportBmpDlg::OnInitDialog()
{
    SetTitleFromSection(3);
    SetTextFromSection(Radio(IDC_GREY), 4);
    SetTextFromSection(Radio(IDC_TWO_LEVEL), 5);
    SetTextFromSection(m_dot, 6);
    SetTextFromSection(m_angleLabel, 7);
    SetTextFromSection(m_sizeLabel, 8);
    SetTextFromSection(m_ok, 2);

    m_bGrey = m_bGrey != 0 ? 1 : 0;
    Radio(m_bGrey != 0 ? IDC_GREY : IDC_TWO_LEVEL)->setChecked(true);
    m_dot->setChecked(m_nDot != 0);
    m_angle->setCurrentText(AngleItemOf(m_strAngle));
    m_size->setText(QString::number(m_dDotSize, 'g', 15));
    EnableDotControls(m_bGrey != 0);
}

bool CImportBmpDlg::OnOK()
{
    double size = 0.0;
    if (!ReadDotSize(m_size->text().toStdString(), size)) {
        m_size->setFocus();
        m_size->selectAll();
        return false;
    }
    m_nDot = m_dot->isChecked() ? 1 : 0;
    m_strAngle = m_angle->currentText().toStdString();
    m_dDotSize = size;
    return true;
}

void CImportBmpDlg::EnableDotControls(bool enable)
{
    m_dot->setEnabled(enable);
    m_angle->setEnabled(enable);
    m_size->setEnabled(enable);
}
