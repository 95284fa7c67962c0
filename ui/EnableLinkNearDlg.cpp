#include "EnableLinkNearDlg.h"

#include "qtplatform/NumberEdit.h"
#include "XPButton.h"
#include "settings/LanguageTable.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>

namespace {
constexpr char16_t kSection[] = u"phase25:link-near";
constexpr double kStartLength = 0.3;
double g_length = kStartLength;
} // namespace

double CEnableLinkNearDlg::RememberedLength()
{
    return g_length;
}

void CEnableLinkNearDlg::SetRememberedLength(double length)
{
    g_length = length;
}

CEnableLinkNearDlg::CEnableLinkNearDlg(QWidget* parent) : CDialogBase(IDD, kSection, parent), m_dLength(g_length)
{
    setWindowTitle(QStringLiteral("Micro-joints"));
    auto* grid = new QGridLayout(this);
    m_enable = new QCheckBox(QStringLiteral("Leave micro-joints"), this);
    m_enable->setObjectName(QString::number(IDC_ENABLE));
    m_label = new QLabel(QStringLiteral("Length"), this);
    m_label->setObjectName(QString::number(IDC_LENGTH_LABEL));
    m_length = MakeNumberEdit(IDC_LENGTH, this);
    m_unit = new QLabel(QStringLiteral("mm"), this);
    m_unit->setObjectName(QString::number(IDC_UNIT_LABEL));
    m_ok = new CXPButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QString::number(IDC_OK));
    m_ok->setDefault(true);
    grid->addWidget(m_enable, 0, 0, 1, 3);
    grid->addWidget(m_label, 1, 0);
    grid->addWidget(m_length, 1, 1);
    grid->addWidget(m_unit, 1, 2);
    grid->addWidget(m_ok, 2, 1, 1, 2, Qt::AlignRight);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_enable, &QCheckBox::clicked, this, [this](bool on) { EnableLength(on); });
}

void CEnableLinkNearDlg::OnInitDialog()
{
    // Without the section the built-in texts stay: the lookup would fall
    // back on strings of other windows.
    if (FindLanguageSection(RegisteredLanguageTable(), kSection) >= 0) {
        SetTitleFromSection(0);
        SetTextFromSection(m_enable, 1);
        SetTextFromSection(m_label, 2);
        SetTextFromSection(m_ok, 3);
    }
    m_enable->setChecked(m_bEnable != 0);
    m_length->setText(NumberText(m_dLength));
    EnableLength(m_bEnable != 0);
}

void CEnableLinkNearDlg::EnableLength(bool on)
{
    m_label->setEnabled(on);
    m_length->setEnabled(on);
    m_unit->setEnabled(on);
}

bool CEnableLinkNearDlg::OnOK()
{
    double length = m_dLength;
    if (!TakeNumberEdit(m_length, length))
        return false;
    m_dLength = length;
    m_bEnable = m_enable->isChecked() ? 1 : 0;
    g_length = m_dLength;
    return true;
}
