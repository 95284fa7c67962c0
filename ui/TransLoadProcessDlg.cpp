#include "TransLoadProcessDlg.h"

#include "JobBuild.h"
#include "XPButton.h"
#include "machinecomm/Vantrel.h"
#include "model/DocContext.h"
#include "model/DocListNode.h"
#include "qtplatform/LongWork.h"
#include "platform/CodePage.h"
#include "platform/Prompt.h"
#include "platform/RecordPool.h"
#include "processing/FileTrans.h"
#include "processing/JobRecords.h"
#include "settings/LanguageTable.h"
#include "settings/MachineNode.h"
#include "settings/SoftwareSettings.h"
#include "settings/TransThreadInfo.h"

#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

constexpr std::u16string_view kErrorSection = u"phase15:error-hint";
constexpr int kNoMachineText = 5;
constexpr int kNothingToOutputText = 6;
constexpr int kNotGeneratedText = 16;
constexpr int kTransferFailedText = 17;
constexpr int kPathTooLongText = 18;
constexpr int kFileNotWholeText = 19;
constexpr int kTimeoutText = 20;
constexpr int kFileUnusableText = 21;
constexpr int kLinkEndedText = 27;
constexpr int kNoMemoryText = 28;
constexpr int kJobTooLongText = 29;
constexpr int kSentStatus = 31;
constexpr int kSavedStatus = 32;
constexpr int kNotWrittenText = 13; // behind the path
constexpr int kBusyText = 38;
constexpr int kRefusedText = 39;
constexpr int kNoThreadText = 40;
constexpr int kFileUnreadableText = 43;
constexpr int kJobTooLongToSaveText = 44;

// The message of each result TransFile gives for a transfer it did not
// start.
struct RefusalEntry {
    std::uint32_t result;
    int entry;
};
constexpr RefusalEntry kRefusalTexts[] = {
    {TRANS_BUSY, kBusyText},
    {TRANS_BAD_REQUEST, kRefusedText},
    {TRANS_NO_THREAD, kNoThreadText},
    {TRANS_FILE_UNUSABLE, kFileUnreadableText},
};

// The message of each way a transfer fails; those about the link name the
// machine and its address, the one about the work file its path.
enum class Fill : std::uint8_t { None, Link, Path };
struct FailureEntry {
    plat::LPARAM code;
    int entry;
    Fill fill;
};
constexpr FailureEntry kFailureTexts[] = {
    {TRANS_ERROR_MEMORY, kNoMemoryText, Fill::None},     {TRANS_ERROR_JOB, kJobTooLongText, Fill::None},
    {TRANS_ERROR_FILE, kNotWrittenText, Fill::Path},     {TRANS_ERROR_LINK, kLinkEndedText, Fill::Link},
    {TRANS_ERROR_STOPPED, kLinkEndedText, Fill::Link},   {TRANS_ERROR_NO_ANSWER, 22, Fill::Link},
    {TRANS_ERROR_CLOSED, 23, Fill::Link},                {TRANS_ERROR_RESET, 24, Fill::Link},
    {TRANS_ERROR_EXCHANGE, 25, Fill::Link},              {TRANS_ERROR_NO_CONNECTION, 26, Fill::Link},
};

std::u16string ErrorText(int entry)
{
    return LanguageText(RegisteredLanguageTable(), kErrorSection, entry);
}

// "The transfer failed. Error code: " and the number.
std::u16string CodeText(long long code)
{
    return ErrorText(kTransferFailedText) + plat::Utf8ToUtf16(std::to_string(code));
}
// The title: "Download" of the dialog's own section.
constexpr int kTitleText = 21;

constexpr int kStartDelayMs = 500;
constexpr int kCloseDelayMs = 500;
constexpr int kDefaultTimeoutMs = 60000;
int g_timeoutMs = kDefaultTimeoutMs;

MachineNode* CurrentMachineOf(const SoftwareSettings& settings)
{
    return MachineAt(settings.m_pMachines, settings.m_nCurMachine);
}

void DropConnection(MachineNode& machine)
{
    DestroyTransThreadInfo(machine.m_session);
    machine.m_session = nullptr;
    machine.m_online = 0;
}

} // namespace

CTransLoadProcessDlg::CTransLoadProcessDlg(DOCCONTEXT& context, std::uint8_t mode, std::u16string path,
                                           std::uint8_t startAfter, QWidget* parent)
    : CDialogBase(IDD, u"phase3:work-tool", parent), m_context(context), m_mode(mode), m_path(std::move(path)),
      m_pathUtf8(plat::Utf16ToUtf8(m_path)), m_startAfter(startAfter)
{
    setWindowTitle(QStringLiteral("Download"));
    auto* layout = new QVBoxLayout(this);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QString::number(IDC_PROGRESS));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_cancel = new CXPButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QString::number(IDC_CANCEL));
    layout->addWidget(m_progress);
    layout->addWidget(m_cancel, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_cancel, &QPushButton::clicked, this, [this] { OnCancel(); });
    m_build = new CJobBuild(this);

    auto singleShot = [this](int ms, auto slot) {
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setInterval(ms);
        connect(timer, &QTimer::timeout, this, slot);
        return timer;
    };
    m_startTimer = singleShot(kStartDelayMs, [this] {
        if (m_jobReady && !m_ended)
            Transfer();
    });
    m_closeTimer = singleShot(kCloseDelayMs, [this] { Finish(); });
    m_watchdog = singleShot(g_timeoutMs, [this] {
        // Ends the transfer as Cancel does, then says why.
        OnCancel();
        plat::MessageBox(LanguageText(RegisteredLanguageTable(), kErrorSection, kTimeoutText));
    });

    if (QtMessagePoster* poster = QtMessagePoster::Current())
        m_hWnd = poster->RegisterWindow(this);
}

CTransLoadProcessDlg::~CTransLoadProcessDlg()
{
    if (QtMessagePoster* poster = QtMessagePoster::Current(); poster != nullptr && m_hWnd != 0)
        poster->UnregisterWindow(m_hWnd);
    // A transfer still running reads the header's layers: a connection left
    // behind ends it before they go.
    if (m_transferring && m_pMachine != nullptr && m_pMachine->m_session != nullptr && !m_ended)
        DropConnection(*m_pMachine);
    FreePathRecordGroups(m_header.m_layers);
    // The job's records and working blocks are not wanted until the next;
    // giving a large job's back to the system takes a while: not here.
    LongWork::Dispose([] { plat::ReleaseFreeMemory(); });
}

void CTransLoadProcessDlg::SetTimeoutForTesting(int ms)
{
    g_timeoutMs = ms > 0 ? ms : kDefaultTimeoutMs;
}

void CTransLoadProcessDlg::FillHeader(WORKHEAD& header, const DOCCONTEXT& context, const std::string& pathUtf8)
{
    FreePathRecordGroups(header.m_layers);
    header = WORKHEAD{};
    header.m_arrayCountX = 0;
    header.m_arrayCountY = 0;
    if (pathUtf8.size() <= kMaxPathBytes)
        std::memcpy(header.m_filePath, pathUtf8.data(), pathUtf8.size());

    const CDocListNode* doc = context.m_pCurrent;
    // Whether objects carry arrays is read off the copy the job is built
    // from, on its thread: here it would be a walk over the whole drawing.
    header.m_hasObjectArrays = 0;
    header.m_arrayUse = 0;
    header.m_arrayCountX = 1;
    header.m_arrayCountY = 1;
    header.m_pitchX = 0.0;
    header.m_pitchY = 0.0;
    if (doc != nullptr && doc->m_pArray != nullptr && (doc->m_pArray->m_nRows > 1 || doc->m_pArray->m_nCols > 1)) {
        const ARRAYREC& a = *doc->m_pArray;
        header.m_arrayUse = 1;
        header.m_arrayCountX = a.m_nRows;
        header.m_arrayCountY = a.m_nCols;
        header.m_pitchX = a.m_dDx / 10.0;
        header.m_pitchY = a.m_dDy / 10.0;
    }
    if (doc != nullptr && doc->m_pFeed != nullptr) {
        header.m_feedCount = doc->m_pFeed->m_nCount;
        header.m_feedLength = doc->m_pFeed->m_dLength;
        header.m_feedDelay = FeedDelaySeconds(doc->m_pFeed->m_nDelayMs);
    }
    CFileTrans::SetJobName(header.m_jobName, pathUtf8);
    header.m_originCorner = 0;
    header.m_posPoint = 2;
    header.m_layers = nullptr;
}

void CTransLoadProcessDlg::OnInitDialog()
{
    SetTitleFromSection(kTitleText);
    SetTextFromSection(m_cancel, 27);
    m_ended = false;
    FillHeader(m_header, m_context, m_pathUtf8);

    // A work file path is checked before anything is built or opened.
    if (m_mode != MODE_SEND && m_pathUtf8.size() > kMaxPathBytes) {
        QTimer::singleShot(0, this, [this] { Fail(kPathTooLongText); });
        return;
    }
    m_pMachine = m_context.m_pSettings != nullptr ? CurrentMachineOf(*m_context.m_pSettings) : nullptr;
    if (m_pMachine == nullptr) {
        QTimer::singleShot(0, this, [this] { Fail(kNoMachineText); });
        return;
    }
    if (m_pMachine->m_session == nullptr) {
        m_connectionExisted = 0;
        // Saving a file needs no link; a send whose link does not start
        // (another machine's link runs) sends nothing.
        const bool open = OpenMachineConnection(*m_pMachine, *m_context.m_pSettings, m_mode == MODE_SAVE ? 0 : 1);
        if (!open && m_mode != MODE_SAVE) {
            QTimer::singleShot(0, this, [this] {
                m_ended = true;
                QDialog::reject();
            });
            return;
        }
    } else {
        m_connectionExisted = 1;
    }
    // The transfer starts once the start delay has passed; the job is built
    // meanwhile, its progress shown from the start.
    m_jobReady = false;
    m_startTimer->start();
    RunJob();
}

void CTransLoadProcessDlg::RunJob()
{
    if (m_ended)
        return;
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_percent = 0;
    static constexpr std::int32_t kOperations[] = {TRANSOP_SEND, TRANSOP_SAVE, TRANSOP_SEND_FILE};
    const std::int32_t operation = kOperations[std::min<int>(m_mode, 2)];
    m_header.m_operation = static_cast<std::uint32_t>(operation);

    m_buildShare = 0;
    if (operation != TRANSOP_SEND_FILE && m_header.m_layers == nullptr) {
        // Built off this thread: the window goes on and Cancel works; the
        // bar's first part follows the build, the rest the transfer.
        m_buildShare = kBuildShare;
        m_build->Start(
            m_context, m_header, m_pathUtf8, true, {}, [this](bool ok, WORKHEAD& built) { OnJobBuilt(ok, built); },
            [this](int permille) { m_progress->setValue(permille * kBuildShare / plat::WorkControl::kWhole); });
        return;
    }
    TransferWhenDue();
}

void CTransLoadProcessDlg::TransferWhenDue()
{
    m_jobReady = true;
    if (!m_startTimer->isActive())
        Transfer();
}

bool CTransLoadProcessDlg::Building() const
{
    return m_build->Running();
}

void CTransLoadProcessDlg::OnJobBuilt(bool ok, WORKHEAD& built)
{
    if (m_ended)
        return;
    if (!ok) {
        Fail(kNotGeneratedText);
        return;
    }
    // The header as the generation filled it, with the job's layers.
    FreePathRecordGroups(m_header.m_layers);
    m_header = built;
    built.m_layers = nullptr;
    if (m_header.m_layers == nullptr) {
        Fail(kNothingToOutputText);
        return;
    }
    TransferWhenDue();
}

void CTransLoadProcessDlg::Transfer()
{
    const auto operation = static_cast<std::int32_t>(m_header.m_operation);
    if (operation == TRANSOP_SEND_FILE) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(std::filesystem::path(m_pathUtf8), ec);
        if (ec || size == 0) {
            Fail(kFileUnusableText);
            return;
        }
    }
    std::uint32_t frameLength = 0;
    std::uint8_t frame[450] = {};
    if (operation != TRANSOP_SEND_FILE)
        GetWidthAndHigh(&m_header, &frameLength, frame);
    if (m_pMachine->m_session == nullptr) {
        Fail(kNoMachineText);
        return;
    }
    const std::uint32_t result =
        m_pMachine->m_session->TransFile(&m_header, operation, m_hWnd, WM_TRANS_PROGRESS, m_header.m_originCorner,
                                         static_cast<std::int32_t>(frameLength), frame, m_startAfter);
    if (result != TRANS_STARTED) {
        FailWith(RefusalText(result));
        return;
    }
    m_transferring = true;
    m_watchdog->setInterval(g_timeoutMs);
    m_watchdog->start();
}

void CTransLoadProcessDlg::OnPostedMessage(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam)
{
    if (msg != WM_TRANS_PROGRESS || m_pMachine == nullptr || m_pMachine->m_session == nullptr)
        return;
    // Answers that arrive during a transfer are dropped.
    ANSWERREC* answers = GetMsgAnswer();
    DelAnswerList(&answers);
    if (m_ended || !m_transferring || m_closeTimer->isActive())
        return;
    m_watchdog->start();
    if (wParam == TRANS_PROGRESS_START) {
        m_announced = static_cast<long long>(lParam);
    } else if (wParam == TRANS_PROGRESS_PERCENT) {
        const int percent = static_cast<int>(std::clamp<plat::LPARAM>(lParam, 0, 100));
        if (percent != m_percent) {
            m_percent = percent;
            m_progress->setValue(m_buildShare + percent * (100 - m_buildShare) / 100);
        }
        if (percent == 100) {
            m_transferring = false;
            m_watchdog->stop();
            m_closeTimer->start();
            // The transfer has let go of the job, and nothing here reads it
            // again: it goes while the close delay runs.
            FreePathRecordGroups(m_header.m_layers);
        }
    } else if (wParam == TRANS_PROGRESS_FAILED) {
        m_transferring = false;
        FailTransfer(lParam);
    }
}

void CTransLoadProcessDlg::FailTransfer(plat::LPARAM code)
{
    FailWith(FailureText(code, m_mode == MODE_SAVE, *m_pMachine, *m_context.m_pSettings, m_path));
}

std::u16string CTransLoadProcessDlg::RefusalText(std::uint32_t result)
{
    for (const RefusalEntry& r : kRefusalTexts) {
        if (r.result == result)
            return ErrorText(r.entry);
    }
    return CodeText(result);
}

std::u16string CTransLoadProcessDlg::FailureText(plat::LPARAM code, bool saving, const MachineNode& machine,
                                                 const SoftwareSettings& settings, const std::u16string& path)
{
    // A job too long for a stream is as much too long for a work file.
    if (saving && code == TRANS_ERROR_JOB)
        return ErrorText(kJobTooLongToSaveText);
    for (const FailureEntry& f : kFailureTexts) {
        if (f.code != code)
            continue;
        if (f.fill == Fill::Link)
            return MachineLinkText(f.entry, machine, settings);
        return f.fill == Fill::Path ? path + ErrorText(f.entry) : ErrorText(f.entry);
    }
    return CodeText(code);
}

std::u16string CTransLoadProcessDlg::DoneText() const
{
    if (m_mode == MODE_SAVE)
        return LanguageText(RegisteredLanguageTable(), kErrorSection, kSavedStatus) + m_path;
    if (m_pMachine == nullptr || m_context.m_pSettings == nullptr)
        return {};
    return MachineLinkText(kSentStatus, *m_pMachine, *m_context.m_pSettings);
}

void CTransLoadProcessDlg::Finish()
{
    if (m_ended)
        return;
    if (m_mode == MODE_SAVE) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(std::filesystem::path(m_pathUtf8), ec);
        if (ec || m_announced < 0 || static_cast<long long>(size) != m_announced) {
            Fail(kFileNotWholeText);
            return;
        }
    }
    CloseOwnConnection();
    m_ended = true;
    StopTimers();
    QDialog::accept();
}

void CTransLoadProcessDlg::OnCancel()
{
    if (m_ended)
        return;
    m_ended = true;
    m_build->Cancel();
    StopTimers();
    if (m_pMachine != nullptr && m_pMachine->m_session != nullptr) {
        // Deleting at once instead of letting the send queue drain.
        m_pMachine->m_session->m_waitOnStop = 0;
        DropConnection(*m_pMachine);
        m_transferring = false;
        if (m_connectionExisted != 0 && m_context.m_pSettings != nullptr)
            OpenMachineConnection(*m_pMachine, *m_context.m_pSettings, 1);
    }
    QDialog::reject();
}

void CTransLoadProcessDlg::reject()
{
    OnCancel();
}

void CTransLoadProcessDlg::Fail(int entry)
{
    FailWith(ErrorText(entry));
}

void CTransLoadProcessDlg::FailWith(const std::u16string& text)
{
    if (m_ended)
        return;
    m_ended = true;
    m_build->Cancel();
    StopTimers();
    plat::MessageBox(text);
    CloseOwnConnection();
    QDialog::reject();
}

void CTransLoadProcessDlg::CloseOwnConnection()
{
    if (m_connectionExisted == 0 && m_pMachine != nullptr && m_pMachine->m_session != nullptr)
        DropConnection(*m_pMachine);
    m_transferring = false;
}

void CTransLoadProcessDlg::StopTimers()
{
    m_startTimer->stop();
    m_closeTimer->stop();
    m_watchdog->stop();
}
