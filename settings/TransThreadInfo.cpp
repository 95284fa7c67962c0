#include "TransThreadInfo.h"

#include "LanguageTable.h"
#include "MacInfoFile.h"
#include "MachineNode.h"
#include "platform/CodePage.h"
#include "platform/Messages.h"
#include "platform/Prompt.h"
#include "platform/Sleep.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t kModeWithoutLink = 255;
constexpr std::u16string_view kErrorSection = u"phase15:error-hint";
constexpr int kLinkFailedText = 5;
constexpr char kRequestOwner[] = "owner";
constexpr int kTransferPollMs = 10;

std::atomic<plat::HWND> g_mainFrame{0};
// The connection whose start made the library's running link (one at a time).
std::atomic<CTransThreadInfo*> g_linkOwner{nullptr};

void ShowLinkFailed()
{
    plat::MessageBox(LanguageText(RegisteredLanguageTable(), kErrorSection, kLinkFailedText), std::u16string(),
                     plat::MB_OK);
}

bool TransferRuns()
{
    return VQ_TransFileOperate(nullptr) == TRANS_BUSY;
}

struct FileCloser {
    int fd;
    ~FileCloser() { ::close(fd); }
};

// A stored .out file as ready data: the 384-byte block (a partial copy of
// the header that nothing reads), the file unscrambled, and spare bytes.
// Null when the file is missing, no regular file, empty, unreadable, too
// long for the request's 32-bit length or too big for memory.
std::uint8_t* LoadOutFile(const WORKHEAD& header, std::uint8_t key, std::uint32_t& readyLength)
{
    const std::string path(header.m_filePath, ::strnlen(header.m_filePath, sizeof header.m_filePath));
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    const FileCloser closer{fd};
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 1 ||
        static_cast<std::uint64_t>(st.st_size) > std::numeric_limits<std::uint32_t>::max() - kReadyBlockSize)
        return nullptr;
    const auto fileLength = static_cast<std::size_t>(st.st_size);
    std::unique_ptr<std::uint8_t[]> buffer(
        new (std::nothrow) std::uint8_t[fileLength + kReadyBlockSize + kReadySpareSize]());
    if (buffer == nullptr)
        return nullptr;
    std::size_t got = 0;
    while (got < fileLength) {
        const ssize_t r = ::read(fd, buffer.get() + kReadyBlockSize + got, fileLength - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return nullptr; // an error, or the file got shorter
        got += static_cast<std::size_t>(r);
    }
    std::uint8_t* stream = buffer.get() + kReadyBlockSize;
    for (std::size_t i = 0; i < fileLength; ++i)
        stream[i] ^= key;

    WORKHEAD block;
    std::memcpy(block.m_filePath, header.m_filePath, sizeof block.m_filePath);
    block.m_comPort = header.m_comPort;
    block.m_layers = nullptr;
    std::memcpy(buffer.get(), &block, std::min<std::size_t>(sizeof block, kReadyBlockSize));

    readyLength = static_cast<std::uint32_t>(fileLength + kReadyBlockSize);
    return buffer.release();
}

} // namespace

void SetMainFrameWindow(plat::HWND window)
{
    g_mainFrame.store(window);
}

plat::HWND MainFrameWindow()
{
    const plat::HWND window = g_mainFrame.load();
    return window != 0 ? window : plat::MainWindow();
}

std::uint8_t OutFileKey(std::uint8_t machineType)
{
    return machineType == 1 ? 0x6B : 0x39;
}

CTransThreadInfo::CTransThreadInfo(std::uint8_t linkType, std::uint32_t address, std::uint8_t machineType,
                                   std::u16string_view machineName, std::uint8_t startThread)
    : m_machineType(machineType), m_startThread(startThread), m_linkType(linkType), m_address(address)
{
    // The name as the entry keeps it, so that the library's technology file
    // is the entry's; the cut leaves room for the terminator.
    const std::string name =
        plat::WideToCodePageCut(CutMachineName(machineName), sizeof m_request.m_info.m_machineName - 1);
    std::memcpy(m_request.m_info.m_machineName, name.data(), name.size());
    m_request.m_pInfo = &m_request.m_info;
    SetMainFramWnd(MainFrameWindow(), machineType);
    m_started = StartComm();
}

CTransThreadInfo::~CTransThreadInfo()
{
    // The transfer thread reads the request, the header and the buffer until
    // it ends. Ending it ends the library's link too, so a connection whose
    // link does not run waits for it instead while another connection's
    // link runs.
    if (m_transferHanded && g_linkOwner.load() != this) {
        if (g_linkOwner.load() == nullptr) {
            VqEtCommThrd(m_waitOnStop);
        } else {
            while (TransferRuns())
                std::this_thread::sleep_for(std::chrono::milliseconds(kTransferPollMs));
        }
    }
    StopComm(m_waitOnStop);
    delete[] m_pFileBuffer;
}

bool CTransThreadInfo::StartComm()
{
    if (m_startThread == 0) {
        if (VqStCommThrd(kModeWithoutLink, m_address))
            return true;
        ShowLinkFailed();
        return false;
    }
    if (m_address == 0)
        return false;
    if (!VqStCommThrd(m_linkType, m_address)) {
        ShowLinkFailed();
        return false;
    }
    if (m_linkType == 0 || m_linkType == 1)
        g_linkOwner.store(this);
    return true;
}

void CTransThreadInfo::StopComm(std::uint8_t wait)
{
    if (m_startThread == 0 || m_address == 0)
        return;
    CTransThreadInfo* self = this;
    if (g_linkOwner.compare_exchange_strong(self, nullptr))
        VqEtCommThrd(wait);
}

void CTransThreadInfo::FillRequest(WORKHEAD* header, plat::HWND window, std::uint32_t message,
                                   std::uint8_t startAfter)
{
    TRANSFILEREQ& r = m_request;
    r.m_pInfo = &r.m_info;
    r.m_pHead = header;
    r.m_comPort = header->m_comPort;
    r.m_pReadyData = nullptr;
    r.m_readyLength = 0;
    r.m_startAfter = startAfter;
    TRANSINFO& info = r.m_info;
    std::memset(info.m_tag, 0, sizeof info.m_tag);
    std::memcpy(info.m_tag + 4, kRequestOwner, sizeof kRequestOwner);
    info.m_linkType = m_linkType;
    info.m_dataMode = 0;
    info.m_totalLength = 0;
    info.m_notifyWnd = window;
    info.m_notifyMsg = message;
    std::memset(info.m_payload, 0, sizeof info.m_payload);
    info.m_payloadLength = 0;
    header->m_arrayUse = 1;
}

std::uint32_t CTransThreadInfo::TransFile(WORKHEAD* header, std::int32_t operation, plat::HWND window,
                                          std::uint32_t message, std::uint32_t /*reserved*/,
                                          std::int32_t payloadLength, const std::uint8_t* payload,
                                          std::uint8_t startAfter)
{
    if (header == nullptr)
        return TRANS_BAD_REQUEST;
    const bool encode = operation == TRANSOP_SEND || operation == TRANSOP_SAVE;
    if (encode) {
        if (header->m_layers == nullptr || payloadLength < 0 ||
            payloadLength > static_cast<std::int32_t>(sizeof m_request.m_info.m_payload) ||
            (payloadLength > 0 && payload == nullptr))
            return TRANS_BAD_REQUEST;
    } else if (operation != TRANSOP_SEND_FILE) {
        return TRANS_BAD_REQUEST;
    }
    // A running transfer still reads the request, its header and its buffer.
    if (TransferRuns())
        return TRANS_BUSY;

    std::uint8_t* ready = nullptr;
    std::uint32_t readyLength = 0;
    if (!encode) {
        ready = LoadOutFile(*header, OutFileKey(m_machineType), readyLength);
        if (ready == nullptr)
            return TRANS_FILE_UNUSABLE;
    }
    FillRequest(header, window, message, startAfter);
    header->m_operation = static_cast<std::uint32_t>(operation);
    if (encode) {
        if (payloadLength > 0)
            std::memcpy(m_request.m_info.m_payload, payload, static_cast<std::size_t>(payloadLength));
        m_request.m_info.m_payloadLength = payloadLength;
    } else {
        delete[] m_pFileBuffer;
        m_pFileBuffer = ready;
        m_request.m_info.m_totalLength = readyLength;
        m_request.m_readyLength = readyLength;
        m_request.m_info.m_dataMode = 1;
        m_request.m_pReadyData = m_pFileBuffer;
    }
    const std::uint32_t result = VQ_TransFileOperate(&m_request);
    if (result == TRANS_STARTED)
        m_transferHanded = true;
    return result;
}

void DestroyTransThreadInfo(CTransThreadInfo* session)
{
    delete session;
}

namespace {
constexpr int kCloseWaitMs = 1000;
constexpr int kFirstSerialPort = 3;
} // namespace

bool MachineLinkUsable(const MachineNode& machine, const SoftwareSettings& settings)
{
    if (machine.m_link_type != 0)
        return machine.m_ip != 0;
    return settings.m_nComPort >= kFirstSerialPort;
}

bool OpenMachineConnection(MachineNode& machine, const SoftwareSettings& settings, std::uint8_t startThread)
{
    if (machine.m_session != nullptr) {
        machine.m_online = 0;
        DestroyTransThreadInfo(machine.m_session);
        machine.m_session = nullptr;
    }
    const std::uint32_t address =
        machine.m_link_type != 0 ? machine.m_ip : static_cast<std::uint32_t>(settings.m_nComPort);
    auto* session = new CTransThreadInfo(machine.m_link_type, address, machine.m_mac_type, machine.Name(), startThread);
    if (startThread != 0 && !session->Started()) {
        // Online without a link would pass every later check and send nowhere.
        delete session;
        return false;
    }
    machine.m_session = session;
    machine.m_online = 1;
    return true;
}

int CloseMachineConnections(MachineNode* first, bool waitEach)
{
    int closed = 0;
    for (MachineNode* m = first; m != nullptr; m = m->m_next) {
        if (m->m_session == nullptr)
            continue;
        if (waitEach)
            m->m_session->m_waitOnStop = 0;
        m->m_online = 0;
        delete m->m_session;
        m->m_session = nullptr;
        ++closed;
        if (waitEach)
            plat::Sleep(kCloseWaitMs);
    }
    return closed;
}

bool ConnectOnly(MachineNode* first, MachineNode& machine, const SoftwareSettings& settings)
{
    bool another = false;
    for (const MachineNode* m = first; m != nullptr && !another; m = m->m_next)
        another = m != &machine && m->m_session != nullptr;
    if (!another && machine.m_session != nullptr)
        return true;
    CloseMachineConnections(first, true);
    return OpenMachineConnection(machine, settings);
}

namespace {
std::vector<std::pair<int, std::function<void()>>> g_linkWatchers;
int g_nextWatcher = 1;
} // namespace

void OnMachineLinkState(MachineNode* first, bool up)
{
    const CTransThreadInfo* owner = g_linkOwner.load();
    if (owner == nullptr)
        return;
    for (MachineNode* m = first; m != nullptr; m = m->m_next) {
        if (m->m_session == owner)
            m->m_online = up ? 1 : 0;
    }
    // A watcher may unregister another while it is told.
    const auto watchers = g_linkWatchers;
    for (const auto& [id, changed] : watchers)
        changed();
}

int WatchMachineLinks(std::function<void()> changed)
{
    g_linkWatchers.emplace_back(g_nextWatcher, std::move(changed));
    return g_nextWatcher++;
}

void UnwatchMachineLinks(int id)
{
    std::erase_if(g_linkWatchers, [id](const auto& w) { return w.first == id; });
}

std::u16string MachineAddressText(const MachineNode& machine, const SoftwareSettings& settings)
{
    char text[32];
    if (machine.m_link_type != 0)
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", machine.m_ip >> 24, machine.m_ip >> 16 & 0xFF,
                      machine.m_ip >> 8 & 0xFF, machine.m_ip & 0xFF);
    else
        std::snprintf(text, sizeof text, "COM%d", static_cast<int>(settings.m_nComPort));
    return std::u16string(text, text + std::strlen(text));
}

std::u16string MachineLinkText(int entry, const MachineNode& machine, const SoftwareSettings& settings)
{
    std::u16string text = LanguageText(RegisteredLanguageTable(), kErrorSection, entry);
    // The name last: what it holds is never taken for a mark.
    const std::pair<std::u16string_view, std::u16string> fills[] = {
        {u"%2", MachineAddressText(machine, settings)}, {u"%1", machine.Name()}};
    for (const auto& [mark, fill] : fills) {
        const std::size_t at = text.find(mark);
        if (at != std::u16string::npos)
            text.replace(at, mark.size(), fill);
    }
    return text;
}
