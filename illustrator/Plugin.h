// The plug-in's base: the suites it holds, the messages it dispatches and the
// error alerts it shows. QorPlugin adds the menus and the export.
//
// Life: made at "Startup" (StartupPlugin), kept by the host between messages
// (PluginMessage::m_globals), deleted at "Shutdown". Between "Unload" and
// "Reload" the suites are released and only "Reload" and "Shutdown" are acted
// on; "Reload" rebuilds the object in place (its code may have been loaded
// anew) and acquires the suites again.
#pragma once
#include "HostInterface.h"

#include <array>
#include <cstdint>
#include <string>

class Plugin {
public:
    // Suites acquired at start-up, in the order of acquisition and release.
    struct SuiteName {
        const char* m_name;
        std::int32_t m_version;
    };
    static constexpr std::size_t kSuiteCount = 25;
    static const std::array<SuiteName, kSuiteCount> kSuites;

    // Index of a suite in kSuites.
    enum Suite : std::size_t {
        kSuiteAccess = 0,
        kSuitePlugins = 1,
        kSuiteNotifier = 2,
        kSuiteAdmBasic = 4,
        kSuiteUser = 5,
    };

    // The indexed string list that holds the error alerts: pairs of a code
    // ("!wpt", "17"; an empty code serves every code) and a text in which a
    // first "%s" receives the code, a second one the file concerned.
    static constexpr std::int32_t kErrorStringList = 16050;
    static constexpr std::int64_t kRepeatIntervalMs = 5000;

    explicit Plugin(const PluginMessage& message);
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;
    virtual ~Plugin() = default;

    // Shows an error through the error alert: not 0 or kErrUnhandled, not
    // the code last shown within kRepeatIntervalMs, and only while the
    // alert's suite is held.
    virtual void ReportError(HostErr error);
    // Keeps the plug-in in memory (the host is asked on the first lock only).
    virtual HostErr LockPlugin();
    // Acquires the suites, names the plug-in, registers its start notifier
    // and locks it. On failure the suites acquired so far stay held for
    // ReleaseSuites.
    virtual HostErr StartupPlugin();
    virtual HostErr PostStartupPlugin();
    virtual HostErr ShutdownPlugin();
    virtual HostErr UnloadPlugin();
    virtual HostErr ReloadPlugin();
    virtual HostErr Purge();
    // Dispatches every message but "Startup", "Shutdown" and "Reload";
    // kErrUnhandled when nothing handles the pair.
    virtual HostErr Message(const char* caller, const char* selector, const PluginMessage& message);
    virtual HostErr AcquireMissingSuites();
    virtual HostErr Notify(const PluginMessage& message);
    virtual HostErr GoMenuItem(const PluginMessage& message);
    virtual HostErr UpdateMenuItem(const PluginMessage& message);

    // Releases every held suite in the order of kSuites; the first error.
    HostErr ReleaseSuites();
    bool HasSuite(Suite suite) const { return m_acquired[suite]; }
    bool HasAllSuites() const;

    // Takes the host, the clock and the record of the message being handled.
    void Bind(const PluginMessage& message);

    // Text of an error code as alerts show it: four characters for a code
    // above 0x4000 (a byte outside printable ASCII as '?'), else the decimal
    // number.
    static std::string ErrorCodeText(HostErr error);
    // The alert text: the first "%s" of `format` replaced by `code`, the
    // second by `detail`, "%%" by "%"; anything else as it stands.
    static std::string FormatAlert(const std::string& format, const std::string& code, const std::string& detail);

protected:
    // What survives a rebuild of the object in place.
    struct Kept {
        PluginRef m_plugin = nullptr;
        std::array<bool, kSuiteCount> m_acquired{};
        int m_lockCount = 0;
        AccessRef m_access = nullptr;
        NotifierHandle m_startedNotifier = nullptr;
        HostErr m_lastError = 0;
        std::int64_t m_lastErrorMs = 0;
        bool m_suppressRepeats = true;
    };
    explicit Plugin(const Kept& kept);
    Kept TakeKept() const;

    std::int64_t NowMs() const;
    // The file or program an error is about, for the alert that follows.
    void SetErrorDetail(const std::string& detail) { m_errorDetail = detail; }

    IHost* m_host = nullptr;
    PluginRef m_plugin = nullptr;
    std::string m_name;

private:
    std::string AlertText(HostErr error) const;

    std::array<bool, kSuiteCount> m_acquired{};
    int m_lockCount = 0;
    AccessRef m_access = nullptr;
    NotifierHandle m_startedNotifier = nullptr;
    HostErr m_lastError = 0;
    std::int64_t m_lastErrorMs = 0;
    bool m_suppressRepeats = true;
    std::string m_errorDetail;
    std::int64_t (*m_clockMs)() = nullptr;
};
