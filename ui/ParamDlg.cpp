#include "ParamDlg.h"

#include "MachineAxisParamDlg.h"
#include "MachineLaserParamDlg.h"
#include "MachineOtherParamDlg.h"
#include "MyTabCtrl.h"
#include "ParamPageStatistic.h"
#include "ParamPasswordInput.h"
#include "XPButton.h"
#include "machinecomm/Vantrel.h"
#include "model/DocContext.h"
#include "platform/Prompt.h"
#include "settings/LanguageTable.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"
#include "settings/TransThreadInfo.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

constexpr char16_t kSection[] = u"phase13:param-dialog";
constexpr char16_t kErrorSection[] = u"phase15:error-hint";
constexpr int kReadTimeoutText = 33;
constexpr int kWriteTimeoutText = 3;
constexpr int kReplaceText = 67;
constexpr int kWrittenStatus = 68;
constexpr int kWriteTimeoutStatus = 69;
constexpr int kLoadedStatus = 70;
constexpr int kNotLoadedStatus = 71;
constexpr int kNotExportedStatus = 103;
constexpr int kStatisticsTab = 3;

const QString kFilter = QStringLiteral("Mac Param (*.machine)");

CParamDlg::FileChooser g_chooser;

bool ChooseFile(QWidget* parent, bool save, QString& path)
{
    if (g_chooser)
        return g_chooser(save, kFilter, path);
    // The overwrite question is the dialog's own, asked once the extension
    // is on the name.
    const QString chosen =
        save ? QFileDialog::getSaveFileName(parent, QString(), QString(), kFilter, nullptr,
                                            QFileDialog::DontConfirmOverwrite)
             : QFileDialog::getOpenFileName(parent, QString(), QString(), kFilter);
    if (chosen.isEmpty())
        return false;
    path = chosen;
    return true;
}

bool HasExtension(const QString& path)
{
    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.lastIndexOf(QLatin1Char('.')) > slash;
}

void DropConnection(MachineNode& machine, bool wait)
{
    if (!wait)
        machine.m_session->m_waitOnStop = 0;
    DestroyTransThreadInfo(machine.m_session);
    machine.m_session = nullptr;
    machine.m_online = 0;
}

} // namespace

void CParamDlg::SetFileChooserForTesting(FileChooser chooser)
{
    g_chooser = std::move(chooser);
}

CParamDlg::CParamDlg(DOCCONTEXT* context, int machineIndex, QWidget* parent)
    : CDialogBase(IDD, kSection, parent), m_context(context)
{
    setWindowTitle(QStringLiteral("System Parameters"));
    const SoftwareSettings& settings = SettingsOf(context);
    m_pMachine = MachineAt(settings.m_pMachines, machineIndex);
    m_comPort = settings.m_nComPort;
    if (m_pMachine != nullptr) {
        if (m_pMachine->m_params == nullptr)
            ResetMachineParam(*(m_pMachine->m_params = new MachineParams));
        // The requests reach the machine's link through the block.
        m_pMachine->m_params->SetMachine(m_pMachine);
    }
    m_snapshot = MachineParams{};

    auto* layout = new QVBoxLayout(this);
    m_tab = new CMyTabCtrl(this);
    m_tab->setObjectName(QString::number(IDC_TAB));
    layout->addWidget(m_tab);
    auto* buttons = new QHBoxLayout;
    const struct {
        int id;
        const char* text;
    } ids[] = {{IDC_READ, "Read"},   {IDC_WRITE, "Write"},   {IDC_CLEAR, "Clear"},
               {IDC_LOAD, "Load"},   {IDC_EXPORT, "Export"}, {IDC_HIDDEN, ""}};
    for (const auto& b : ids) {
        auto* button = new CXPButton(QString::fromLatin1(b.text), this);
        button->setObjectName(QString::number(b.id));
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    m_status = new QLabel(this);
    m_status->setObjectName(QString::number(IDC_STATUS));
    layout->addWidget(m_status);

    connect(Button(IDC_READ), &QPushButton::clicked, this, [this] { OnRead(); });
    connect(Button(IDC_WRITE), &QPushButton::clicked, this, [this] { OnWrite(); });
    connect(Button(IDC_CLEAR), &QPushButton::clicked, this, [this] { OnClear(); });
    connect(Button(IDC_LOAD), &QPushButton::clicked, this, [this] { OnLoad(); });
    connect(Button(IDC_EXPORT), &QPushButton::clicked, this, [this] { OnExport(); });
    connect(m_tab, &QTabWidget::currentChanged, this, [this] { OnTabChanged(); });

    auto singleShot = [this](int id) {
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setInterval(kTimeoutMs);
        connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
        return timer;
    };
    m_readTimer = singleShot(kReadTimer);
    m_writeTimer = singleShot(kWriteTimer);

    if (m_pMachine != nullptr) {
        MachineParams* block = m_pMachine->m_params;
        m_axisPage = new CMachineAxisParamDlg(this);
        m_axisPage->SetParams(block);
        m_axisPage->SetParamDlg(this);
        m_laserPage = new CMachineLaserParamDlg(this);
        m_laserPage->SetParams(block);
        m_otherPage = new CMachineOtherParamDlg(this);
        m_otherPage->SetParams(block);
        m_statPage = new CParamPageStatistic(this);
    }
    if (QtMessagePoster* poster = QtMessagePoster::Current())
        m_hWnd = poster->RegisterWindow(this);
}

CParamDlg::~CParamDlg()
{
    // Answers still on their way are dropped with the handle.
    if (QtMessagePoster* poster = QtMessagePoster::Current(); poster != nullptr && m_hWnd != 0)
        poster->UnregisterWindow(m_hWnd);
    if (m_pMachine != nullptr && m_conn_existed == 0 && m_pMachine->m_session != nullptr)
        DropConnection(*m_pMachine, true);
}

CXPButton* CParamDlg::Button(int id) const
{
    return findChild<CXPButton*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

MachineParams* CParamDlg::Params() const
{
    return m_pMachine != nullptr ? m_pMachine->m_params : nullptr;
}

int CParamDlg::LaserMachineTypeIndex() const
{
    return m_laserPage != nullptr ? m_laserPage->MachineTypeIndex() : 0;
}

void CParamDlg::SetStatus(int entry)
{
    m_status->setText(entry < 0 ? QString() : QString::fromStdU16String(SectionText(entry)));
}

void CParamDlg::OnInitDialog()
{
    SetStatus(-1);
    SetTitleFromSection(0);
    const int texts[][2] = {{IDC_READ, 37}, {IDC_WRITE, 38}, {IDC_CLEAR, 56}, {IDC_LOAD, 39}, {IDC_EXPORT, 40}};
    for (const auto& t : texts)
        SetTextFromSection(Button(t[0]), t[1]);
    if (m_pMachine == nullptr)
        return;

    m_statPage->SetMachine(m_pMachine, m_comPort);
    const struct {
        CDialogBase* page;
        int id;
        int entry;
        const char* title;
    } pages[] = {{m_axisPage, CMachineAxisParamDlg::IDD, 13, "Axes"},
                 {m_laserPage, CMachineLaserParamDlg::IDD, 2, "Laser"},
                 {m_otherPage, CMachineOtherParamDlg::IDD, 24, "Other"},
                 {m_statPage, CParamPageStatistic::IDD, 6, "Statistics"}};
    for (const auto& p : pages) {
        const std::u16string title = SectionText(p.entry);
        m_tab->AddPage(title.empty() ? QString::fromLatin1(p.title) : QString::fromStdU16String(title), p.page, p.id,
                       false);
    }

    if (m_pMachine->m_session == nullptr) {
        const SoftwareSettings& settings = SettingsOf(m_context);
        // A link that does not start (another machine's runs) is not kept:
        // requests on it would reach that other controller.
        OpenMachineConnection(*m_pMachine, settings, 1);
        m_conn_existed = 0;
    }
    Button(IDC_HIDDEN)->hide();
    Button(IDC_WRITE)->setEnabled(false);
    OnRead();
    m_first_read = 0;
    // The laser page is set up first: the axis page's fill asks it for the
    // machine type.
    m_laserPage->Create(m_tab);
    m_tab->ShowPage(true, CMachineAxisParamDlg::IDD);
}

void CParamDlg::OnRead()
{
    MachineParams* block = Params();
    if (block == nullptr)
        return;
    if (m_pMachine->m_session == nullptr || !RequestMachineParam(*block, m_hWnd)) {
        // Said at once; the fields keep what they show. An unusable link was
        // said before the dialog opened.
        if (m_pMachine->m_session != nullptr || MachineLinkUsable(*m_pMachine, Settings()))
            Warn(MachineLinkText(kMachineOfflineText, *m_pMachine, Settings()));
        return;
    }
    // The read sent as the dialog opens has its time-out too, but leaves the
    // dialog usable.
    m_readTimer->start();
    if (m_first_read != 0)
        return;
    SetStatus(-1);
    setEnabled(false);
}

void CParamDlg::OnWrite()
{
    SetStatus(-1);
    MachineParams* block = Params();
    if (block == nullptr || m_pMachine->m_session == nullptr)
        return;
    CParamPasswordInput prompt(1, this);
    if (prompt.DoModal() != plat::IDOK)
        return;
    const QString code = prompt.First();
    if (code != QLatin1String("kv3816") && code != QLatin1String("KV3816")) {
        plat::MessageBox(u"Error Pass word !", std::u16string(), plat::MB_OK);
        return;
    }
    // The prompt may have outlived the connection.
    if (m_pMachine->m_session == nullptr)
        return;
    m_write_pending = 1;
    m_snapshot = *block;
    m_snapshot.m_pNode = nullptr;
    m_readBack.reset();
    SendMachineParam(*block, m_hWnd);
    setEnabled(false);
    m_writeTimer->start();
}

void CParamDlg::OnClear()
{
    MachineParams* block = Params();
    if (block == nullptr)
        return;
    // Every written parameter goes to zero; the statistics and the
    // parameters a write never sends stay.
    const MachineStatistics statistics = block->m_statistics;
    MachineNode* node = block->m_pNode;
    ResetMachineParam(*block);
    block->m_statistics = statistics;
    block->SetMachine(node);
    RefillShownPage();
    SetStatus(-1);
    Button(IDC_WRITE)->setEnabled(false);
}

void CParamDlg::OnLoad()
{
    MachineParams* block = Params();
    if (block == nullptr)
        return;
    QString path;
    if (!ChooseFile(this, false, path))
        return;
    if (ImportMachineFile(*block, path.toStdString())) {
        Button(IDC_WRITE)->setEnabled(true);
        block->m_valid = 1;
        SetStatus(kLoadedStatus);
    } else {
        SetStatus(kNotLoadedStatus);
    }
    if (block->m_valid != 0)
        RefillPages();
}

void CParamDlg::OnExport()
{
    MachineParams* block = Params();
    if (block == nullptr)
        return;
    QString path;
    if (!ChooseFile(this, true, path))
        return;
    if (!HasExtension(path))
        path += QStringLiteral(".machine");
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::path(path.toStdString()), ec)) {
        const std::u16string text = path.toStdU16String() + SectionText(kReplaceText);
        if (plat::MessageBox(text, std::u16string(), plat::MB_OKCANCEL | plat::MB_ICONWARNING) != plat::IDOK)
            return;
    }
    if (!ExportMachineFile(*block, path.toStdString()))
        SetStatus(kNotExportedStatus);
}

bool CParamDlg::TimerActive(int id) const
{
    if (id == kReadTimer)
        return m_readTimer->isActive();
    if (id == kWriteTimer)
        return m_writeTimer->isActive();
    return false;
}

void CParamDlg::OnTimer(int id)
{
    if (id == kReadTimer) {
        m_readTimer->stop();
        if (m_pMachine != nullptr && m_pMachine->m_online == 0 && m_pMachine->m_session != nullptr)
            DropConnection(*m_pMachine, false);
        if (m_pMachine != nullptr)
            Warn(MachineLinkText(kReadTimeoutText, *m_pMachine, Settings()));
        m_write_pending = 0;
        setEnabled(true);
    } else if (id == kWriteTimer) {
        m_writeTimer->stop();
        WriteFailed();
    }
}

const SoftwareSettings& CParamDlg::Settings() const
{
    return SettingsOf(m_context);
}

void CParamDlg::Warn(const std::u16string& text)
{
    plat::MessageBox(text, std::u16string(), plat::MB_OK | plat::MB_ICONWARNING);
}

void CParamDlg::WriteFailed()
{
    plat::MessageBox(LanguageText(RegisteredLanguageTable(), kErrorSection, kWriteTimeoutText), std::u16string(),
                     plat::MB_OK | plat::MB_ICONWARNING);
    m_write_pending = 0;
    SetStatus(kWriteTimeoutStatus);
    m_snapshot = MachineParams{};
    setEnabled(true);
}

void CParamDlg::OnPostedMessage(plat::UINT msg, plat::WPARAM, plat::LPARAM)
{
    if (msg == WM_COMM_ANSWER)
        OnAnswer();
}

void CParamDlg::OnAnswer()
{
    ANSWERREC* list = GetMsgAnswer();
    if (list == nullptr)
        return;
    MachineParams* block = Params();
    static const std::array<std::int32_t, kMachineParamWriteCount> kWriteIds = MachineParamWriteIds();
    for (const ANSWERREC* a = list; a != nullptr; a = a->m_pNext) {
        if (a->m_type != ANSWER_PARAM || a->m_pData == nullptr || block == nullptr)
            continue;
        m_readTimer->stop();
        std::uint32_t value = 0;
        std::memcpy(&value, a->m_pData, sizeof value);
        SetMachineParamByIndex(*block, a->m_id, value);
        block->m_valid = 1;
        if (m_write_pending != 0) {
            for (std::size_t k = 0; k < kWriteIds.size(); ++k) {
                if (kWriteIds[k] == a->m_id)
                    m_readBack.set(k);
            }
        }
    }
    DelAnswerList(&list);

    // A write is decided by the controller's read-back of every value it
    // sent: equal to what was sent confirms it, anything else fails it at
    // once. Until then the write stays pending and the dialog disabled.
    if (m_write_pending != 0 && block != nullptr && m_readBack.all()) {
        m_writeTimer->stop();
        if (IsSameMachineParam(*block, m_snapshot)) {
            m_write_pending = 0;
            SetStatus(kWrittenStatus);
            m_snapshot = MachineParams{};
        } else {
            WriteFailed();
        }
    }
    if (m_write_pending == 0)
        setEnabled(true);
    if (block != nullptr && block->m_valid != 0) {
        Button(IDC_WRITE)->setEnabled(true);
        m_first_read = 0;
        RefillPages();
    }
}

void CParamDlg::RefillPages()
{
    if (m_laserPage == nullptr)
        return;
    // The laser page first: the axis page's fill asks it for the machine
    // type.
    m_laserPage->Fill();
    m_axisPage->Fill();
    m_otherPage->Fill();
}

void CParamDlg::RefillShownPage()
{
    if (m_tab == nullptr || m_laserPage == nullptr)
        return;
    QWidget* shown = m_tab->currentWidget();
    if (shown == m_axisPage)
        m_axisPage->Fill();
    else if (shown == m_laserPage)
        m_laserPage->Fill();
    else if (shown == m_otherPage)
        m_otherPage->Fill();
}

void CParamDlg::OnTabChanged()
{
    const bool statistics = m_tab->currentIndex() == kStatisticsTab;
    for (int id = IDC_READ; id <= IDC_EXPORT; ++id)
        Button(id)->setVisible(!statistics);
    m_status->setVisible(!statistics);
    if (statistics)
        update();
    else
        RefillShownPage();
}
