// The plug-in's one entry: creates, dispatches to and deletes the plug-in
// object that the host keeps between messages, reports errors, and lets no
// exception out.
#include "HostInterface.h"
#include "QorPlugin.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

HostErr Unhandled(const char* caller, const char* selector)
{
    std::fprintf(stderr, "Warning: Unhandled plugin message: caller \"%s\" selector \"%s\"\n",
                 caller != nullptr ? caller : "(null)", selector != nullptr ? selector : "(null)");
    return 0;
}

bool Is(const char* a, const char* b)
{
    return std::strcmp(a, b) == 0;
}

HostErr Startup(PluginMessage& message)
{
    auto* plugin = new (std::nothrow) QorPlugin(message);
    if (plugin == nullptr)
        return kErrNoMemory;
    const HostErr err = plugin->StartupPlugin();
    if (err != 0) {
        plugin->ReportError(err);
        plugin->ReleaseSuites();
        delete plugin;
        return err;
    }
    message.m_globals = plugin;
    return 0;
}

HostErr Dispatch(const char* caller, const char* selector, PluginMessage& message)
{
    const bool startup = Is(caller, kCallerInterface) && Is(selector, kSelectorStartup);
    if (message.m_globals == nullptr)
        return startup ? Startup(message) : Unhandled(caller, selector);
    if (startup)
        return Unhandled(caller, selector);

    if (Is(caller, kCallerAccess) && Is(selector, kSelectorReload)) {
        QorPlugin* plugin = QorPlugin::RebuildInPlace(message.m_globals);
        plugin->Bind(message);
        const HostErr err = plugin->ReloadPlugin();
        plugin->ReportError(err);
        return err;
    }
    auto* plugin = static_cast<QorPlugin*>(message.m_globals);
    plugin->Bind(message);
    if (Is(caller, kCallerInterface) && Is(selector, kSelectorShutdown)) {
        const HostErr err = plugin->ShutdownPlugin();
        delete plugin;
        message.m_globals = nullptr;
        return err;
    }
    const HostErr err = plugin->Message(caller, selector, message);
    if (err == kErrUnhandled)
        return Unhandled(caller, selector);
    plugin->ReportError(err);
    return err;
}

} // namespace

extern "C" HostErr PluginMain(const char* caller, const char* selector, PluginMessage* message)
{
    if (caller == nullptr || selector == nullptr || message == nullptr || message->m_host == nullptr)
        return Unhandled(caller, selector);
    try {
        return Dispatch(caller, selector, *message);
    } catch (...) {
        // Only allocation throws here (the host's calls return their errors).
        return kErrNoMemory;
    }
}
