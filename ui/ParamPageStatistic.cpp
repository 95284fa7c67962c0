#include "ParamPageStatistic.h"

#include "MachineParamPage.h"
#include "XPButton.h"
#include "machinecomm/Vantrel.h"
#include "settings/MachineNode.h"
#include "settings/MachineParams.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include <cstdio>
#include <cstring>

namespace {

QString TimeText(const RUNTIMECOUNTER& t)
{
    char text[40];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(t.m_hours), static_cast<int>(t.m_minutes),
                  static_cast<int>(t.m_seconds));
    return QString::fromLatin1(text);
}

} // namespace

CParamPageStatistic::CParamPageStatistic(QWidget* parent) : CDialogBase(IDD, u"phase6:statistic-info", parent)
{
    auto* grid = new QGridLayout(this);
    const char* labels[6] = {"Power-on Time", "Laser-on Time", "Total Processing Time", "Job Count", "X Travel (m)",
                             "Y Travel (m)"};
    for (int k = 0; k < 6; ++k) {
        auto* label = new QLabel(QString::fromLatin1(labels[k]), this);
        label->setObjectName(QString::number(1259 + k));
        grid->addWidget(label, k, 0);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::number(IDC_POWER_ON + k));
        edit->setReadOnly(true);
        grid->addWidget(edit, k, 1);
    }
    auto* read = new CXPButton(QStringLiteral("Read"), this);
    read->setObjectName(QString::number(IDC_READ));
    grid->addWidget(read, 6, 1);
    connect(read, &QPushButton::clicked, this, [this] { OnRead(); });
    if (QtMessagePoster* poster = QtMessagePoster::Current())
        m_hWnd = poster->RegisterWindow(this);
}

CParamPageStatistic::~CParamPageStatistic()
{
    // Answers that come after the page closed are dropped.
    if (QtMessagePoster* poster = QtMessagePoster::Current(); poster != nullptr && m_hWnd != 0)
        poster->UnregisterWindow(m_hWnd);
}

QLineEdit* CParamPageStatistic::Edit(int id) const { return findChild<QLineEdit*>(QString::number(id)); }

void CParamPageStatistic::SetMachine(MachineNode* machine, int comPort)
{
    m_pMachine = machine;
    m_comPort = comPort;
}

void CParamPageStatistic::OnInitDialog()
{
    for (int k = 0; k < 6; ++k)
        SetTextFromSection(findChild<QLabel*>(QString::number(1259 + k)), k);
    SetTextFromSection(findChild<CXPButton*>(QString::number(IDC_READ)), 6);
    ShowValues();
}

void CParamPageStatistic::OnRead()
{
    if (m_pMachine == nullptr || m_pMachine->m_session == nullptr || m_pMachine->m_params == nullptr)
        return;
    RequestStatistic(*m_pMachine->m_params, m_hWnd);
}

void CParamPageStatistic::OnPostedMessage(plat::UINT msg, plat::WPARAM, plat::LPARAM)
{
    if (msg != WM_COMM_ANSWER)
        return;
    ANSWERREC* list = GetMsgAnswer();
    MachineParams* block = m_pMachine != nullptr ? m_pMachine->m_params : nullptr;
    for (const ANSWERREC* a = list; a != nullptr; a = a->m_pNext) {
        if (a->m_type == ANSWER_PARAM && a->m_pData != nullptr && block != nullptr) {
            std::uint32_t value = 0;
            std::memcpy(&value, a->m_pData, sizeof value);
            SetStatisticByIndex(*block, a->m_id, value);
        }
    }
    DelAnswerList(&list);
    ShowValues();
}

void CParamPageStatistic::ShowValues()
{
    if (m_pMachine == nullptr || m_pMachine->m_params == nullptr)
        return;
    const MachineStatistics& s = m_pMachine->m_params->m_statistics;
    Edit(IDC_POWER_ON)->setText(TimeText(s.m_runTime[0]));
    Edit(IDC_LASER_ON)->setText(TimeText(s.m_runTime[1]));
    Edit(IDC_PROCESSING)->setText(TimeText(s.m_runTime[2]));
    Edit(IDC_COUNT)->setText(QString::number(s.m_count));
    Edit(IDC_X_TRAVEL)->setText(CMachineParamPage::NumberText(s.m_reals[0]));
    Edit(IDC_Y_TRAVEL)->setText(CMachineParamPage::NumberText(s.m_reals[1]));
}
