#include "ParamPasswordInput.h"

#include "XPButton.h"
#include "platform/Prompt.h"
#include "settings/LanguageTable.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

constexpr char16_t kSection[] = u"phase23:verify-account";
constexpr int kDifferText = 5;

} // namespace

CParamPasswordInput::CParamPasswordInput(std::uint8_t mode, QWidget* parent)
    : CDialogBase(IDD, kSection, parent), m_mode(mode)
{
    setWindowTitle(QStringLiteral("Access Code"));
    auto* grid = new QGridLayout(this);
    m_firstLabel = new QLabel(this);
    m_firstLabel->setObjectName(QString::number(IDC_FIRST_LABEL));
    m_firstEdit = new QLineEdit(this);
    m_firstEdit->setObjectName(QString::number(IDC_FIRST));
    m_firstEdit->setEchoMode(QLineEdit::Password);
    m_secondLabel = new QLabel(this);
    m_secondLabel->setObjectName(QString::number(IDC_SECOND_LABEL));
    m_secondEdit = new QLineEdit(this);
    m_secondEdit->setObjectName(QString::number(IDC_SECOND));
    m_secondEdit->setEchoMode(QLineEdit::Password);
    m_ok = new CXPButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QString::number(IDC_OK));
    m_ok->setDefault(true);
    grid->addWidget(m_firstLabel, 0, 0);
    grid->addWidget(m_firstEdit, 0, 1);
    grid->addWidget(m_secondLabel, 1, 0);
    grid->addWidget(m_secondEdit, 1, 1);
    grid->addWidget(m_ok, 2, 1);
    connect(m_ok, &QPushButton::clicked, this, [this] { accept(); });
}

void CParamPasswordInput::OnInitDialog()
{
    SetTitleFromSection(0);
    SetTextFromSection(m_ok, 4);
    switch (m_mode) {
    case 0:
        SetTextFromSection(m_firstLabel, 1);
        SetTextFromSection(m_secondLabel, 2);
        break;
    case 1:
        SetTextFromSection(m_firstLabel, 2);
        m_secondLabel->hide();
        m_secondEdit->hide();
        break;
    default:
        SetTextFromSection(m_firstLabel, 2);
        SetTextFromSection(m_secondLabel, 3);
        break;
    }
    m_firstEdit->setFocus();
}

bool CParamPasswordInput::OnOK()
{
    m_first = m_firstEdit->text();
    m_second = m_secondEdit->text();
    if (m_mode == 2 && m_first != m_second) {
        plat::MessageBox(LanguageText(RegisteredLanguageTable(), kSection, kDifferText));
        return false;
    }
    return true;
}
