#include "Plugin.h"

#include "PluginBuild.h"
#include "platform/NumText.h"

#include <chrono>
#include <cstring>

const std::array<Plugin::SuiteName, Plugin::kSuiteCount> Plugin::kSuites = {{
    {"SP Access Suite", 3},
    {"SP Plug-ins Suite", 4},
    {"AI Notifier Suite", 2},
    {"AI Context Suite", 4},
    {"ADM Basic Suite", 10},
    {"AI User Suite", 9},
    {"AI File Path Suite", 2},
    {"AI Folders Suite", 3},
    {"SP Blocks Suite", 2},
    {"AI Unicode String Suite", 6},
    {"AI Menu Suite", 9},
    {"AI Document Suite", 11},
    {"AI File Format Suite", 11},
    {"AI Action Manager Suite", 3},
    {"AI Layer Suite", 11},
    {"AI Art Suite", 14},
    {"AI Matching Art Suite", 5},
    {"AI MdMemory Suite", 1},
    {"AI Raster Suite", 8},
    {"AI Text Frame Suite", 1},
    {"AI Path Style Suite", 10},
    {"AI Real Math Suite", 1},
    {"AI Rasterize Suite", 7},
    {"AI Art Set Suite", 6},
    {"AI Mask Suite", 3},
}};

namespace {

// Message families the plug-in registers nothing for: whatever they send is
// answered with success and no action.
constexpr const char* kQuietCallers[] = {
    "Action Manager", "AI Filter", "AI Plugin Group", "AI File Format", "AI Tool",
    "AI Live Effect", "AI Timer", "AI Clipboard", "Workspace Manager",
};
constexpr const char* kCallerProperties = "SP Properties";
constexpr const char* kStartedNotifierType = "AI Application Started Notifier";

// More pairs than any error list holds: a host that never ends the list
// cannot keep an alert waiting.
constexpr std::int32_t kMaxAlertPairs = 256;

bool Is(const char* a, const char* b)
{
    return std::strcmp(a, b) == 0;
}

} // namespace

Plugin::Plugin(const PluginMessage& message) : m_plugin(message.m_plugin), m_name(kPluginName)
{
    Bind(message);
}

Plugin::Plugin(const Kept& kept)
    : m_plugin(kept.m_plugin), m_name(kPluginName), m_acquired(kept.m_acquired), m_lockCount(kept.m_lockCount),
      m_access(kept.m_access), m_startedNotifier(kept.m_startedNotifier), m_lastError(kept.m_lastError),
      m_lastErrorMs(kept.m_lastErrorMs), m_suppressRepeats(kept.m_suppressRepeats)
{
}

Plugin::Kept Plugin::TakeKept() const
{
    Kept kept;
    kept.m_plugin = m_plugin;
    kept.m_acquired = m_acquired;
    kept.m_lockCount = m_lockCount;
    kept.m_access = m_access;
    kept.m_startedNotifier = m_startedNotifier;
    kept.m_lastError = m_lastError;
    kept.m_lastErrorMs = m_lastErrorMs;
    kept.m_suppressRepeats = m_suppressRepeats;
    return kept;
}

void Plugin::Bind(const PluginMessage& message)
{
    m_host = message.m_host;
    m_clockMs = message.m_clockMs;
    m_errorDetail.clear();
}

std::int64_t Plugin::NowMs() const
{
    if (m_clockMs != nullptr)
        return m_clockMs();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool Plugin::HasAllSuites() const
{
    for (bool acquired : m_acquired)
        if (!acquired)
            return false;
    return true;
}

HostErr Plugin::AcquireMissingSuites()
{
    for (std::size_t i = 0; i < kSuiteCount; ++i) {
        if (m_acquired[i])
            continue;
        const HostErr err = m_host->AcquireSuite(kSuites[i].m_name, kSuites[i].m_version);
        if (err != 0) {
            if (kShowSuiteErrors && m_acquired[kSuiteUser]) {
                const std::string text = "Error: " + plat::FormatInt(err) + ", suite: " + kSuites[i].m_name +
                                         ", version: " + plat::FormatInt(kSuites[i].m_version) + "!";
                m_host->UserMessageAlert(text.c_str());
            }
            return err;
        }
        m_acquired[i] = true;
    }
    return 0;
}

HostErr Plugin::ReleaseSuites()
{
    HostErr first = 0;
    for (std::size_t i = 0; i < kSuiteCount; ++i) {
        if (!m_acquired[i])
            continue;
        m_acquired[i] = false;
        const HostErr err = m_host->ReleaseSuite(kSuites[i].m_name, kSuites[i].m_version);
        if (first == 0)
            first = err;
    }
    return first;
}

HostErr Plugin::LockPlugin()
{
    if (m_lockCount == 0) {
        if (const HostErr err = m_host->AccessAcquirePlugin(m_plugin, &m_access))
            return err;
    }
    ++m_lockCount;
    return 0;
}

HostErr Plugin::StartupPlugin()
{
    if (const HostErr err = AcquireMissingSuites())
        return err;
    if (const HostErr err = m_host->PluginsSetPluginName(m_plugin, m_name.c_str()))
        return err;
    const std::string notifierName = m_name + " App Started Notifier";
    if (const HostErr err =
            m_host->NotifierAddNotifier(m_plugin, notifierName.c_str(), kStartedNotifierType, &m_startedNotifier))
        return err;
    return LockPlugin();
}

HostErr Plugin::PostStartupPlugin()
{
    return 0;
}

HostErr Plugin::ShutdownPlugin()
{
    return ReleaseSuites();
}

HostErr Plugin::UnloadPlugin()
{
    return ReleaseSuites();
}

HostErr Plugin::ReloadPlugin()
{
    return AcquireMissingSuites();
}

HostErr Plugin::Purge()
{
    return 0;
}

HostErr Plugin::Notify(const PluginMessage& message)
{
    if (message.m_notifier != nullptr && message.m_notifier == m_startedNotifier)
        return PostStartupPlugin();
    return 0;
}

HostErr Plugin::GoMenuItem(const PluginMessage&)
{
    return 0;
}

HostErr Plugin::UpdateMenuItem(const PluginMessage&)
{
    return 0;
}

HostErr Plugin::Message(const char* caller, const char* selector, const PluginMessage& message)
{
    // Released suites may not be called: until "Reload" nothing is handled.
    if (!HasAllSuites())
        return kErrUnhandled;
    if (Is(caller, kCallerAccess) && Is(selector, kSelectorUnload))
        return UnloadPlugin();
    if (Is(caller, kCallerCache) && Is(selector, kSelectorPurge))
        return Purge();
    if (Is(caller, kCallerNotifier) && Is(selector, kSelectorNotify))
        return Notify(message);
    if (Is(caller, kCallerMenu) && Is(selector, kSelectorGo))
        return GoMenuItem(message);
    if (Is(caller, kCallerMenu) && Is(selector, kSelectorUpdate))
        return UpdateMenuItem(message);
    if (Is(caller, kCallerProperties))
        return kErrUnhandled;
    for (const char* quiet : kQuietCallers)
        if (Is(caller, quiet))
            return 0;
    return kErrUnhandled;
}

std::string Plugin::ErrorCodeText(HostErr error)
{
    if (error <= 0x4000)
        return plat::FormatInt(error);
    std::string text(4, '?');
    const auto code = std::uint32_t(error);
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>(code >> (24 - 8 * i));
        if (c >= 0x20 && c < 0x7F)
            text[i] = static_cast<char>(c);
    }
    return text;
}

std::string Plugin::FormatAlert(const std::string& format, const std::string& code, const std::string& detail)
{
    std::string text;
    int used = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == '%') {
                text += '%';
                ++i;
                continue;
            }
            if (format[i + 1] == 's' && used < 2) {
                text += used == 0 ? code : detail;
                ++used;
                ++i;
                continue;
            }
        }
        text += format[i];
    }
    return text;
}

std::string Plugin::AlertText(HostErr error) const
{
    const std::string code = ErrorCodeText(error);
    std::string key;
    std::string format;
    for (std::int32_t pair = 0; pair < kMaxAlertPairs; ++pair) {
        if (m_host->BasicGetIndexString(m_plugin, kErrorStringList, 2 * pair, key) != 0 ||
            m_host->BasicGetIndexString(m_plugin, kErrorStringList, 2 * pair + 1, format) != 0)
            break;
        if (key.empty() || key == code)
            return FormatAlert(format, code, m_errorDetail);
    }
    return m_errorDetail.empty() ? code : code + " " + m_errorDetail;
}

void Plugin::ReportError(HostErr error)
{
    if (error == 0 || error == kErrUnhandled || !m_acquired[kSuiteAdmBasic])
        return;
    const std::int64_t now = NowMs();
    if (m_suppressRepeats && error == m_lastError && now - m_lastErrorMs < kRepeatIntervalMs)
        return;
    m_lastError = error;
    m_lastErrorMs = now;
    const std::string text = AlertText(error);
    m_host->BasicErrorAlert(text.c_str());
}
