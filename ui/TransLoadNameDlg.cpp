#include "TransLoadNameDlg.h"

#include "XPButton.h"

#include <QHBoxLayout>
#include <QLineEdit>

#include <cstdio>

namespace {
std::function<std::time_t()> g_clock;
}

CTransLoadNameDlg::CTransLoadNameDlg(QWidget* parent) : CDialogBase(IDD, u"phase3:work-tool", parent)
{
    setWindowTitle(QStringLiteral("Job Name"));
    auto* layout = new QHBoxLayout(this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QString::number(IDC_NAME));
    m_ok = new CXPButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QString::number(IDC_OK));
    m_ok->setDefault(true);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_ok);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    m_name = NameAt(g_clock ? g_clock() : std::time(nullptr));
}

void CTransLoadNameDlg::SetClockForTesting(std::function<std::time_t()> clock)
{
    g_clock = std::move(clock);
}

std::u16string CTransLoadNameDlg::NameAt(std::time_t moment)
{
    std::tm utc{};
    gmtime_r(&moment, &utc);
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d%02d", utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

void CTransLoadNameDlg::OnInitDialog()
{
    SetTitleFromSection(25);
    SetTextFromSection(m_ok, 26);
    m_edit->setText(QString::fromStdU16String(m_name));
    m_edit->selectAll();
}

bool CTransLoadNameDlg::OnOK()
{
    m_name = m_edit->text().toStdU16String();
    if (m_name.empty())
        m_name.assign(1, u'x');
    return true;
}
