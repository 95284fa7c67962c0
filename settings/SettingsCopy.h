// The settings of work done off the interface thread: a private copy that
// the interface may change or free the original under, and the settings the
// engine reads where it has no edit context (g_settings, or on a thread
// given a copy, that copy).
#pragma once
#include "SoftwareSettings.h"

class SettingsCopy {
public:
    // Every field, the layer parameter list, and the current machine with
    // its technology record (no connection, no parameter block) as the
    // copy's only and current machine; no clipboard.
    explicit SettingsCopy(const SoftwareSettings& source);
    ~SettingsCopy();
    SettingsCopy(const SettingsCopy&) = delete;
    SettingsCopy& operator=(const SettingsCopy&) = delete;

    SoftwareSettings& Get() { return m_settings; }

private:
    SoftwareSettings m_settings;
};

// The settings of the calling thread: g_settings unless a scope below gave
// it others.
SoftwareSettings& ThreadSettings();

class ScopedThreadSettings {
public:
    explicit ScopedThreadSettings(SoftwareSettings& settings);
    ~ScopedThreadSettings();
    ScopedThreadSettings(const ScopedThreadSettings&) = delete;
    ScopedThreadSettings& operator=(const ScopedThreadSettings&) = delete;

private:
    SoftwareSettings* m_saved;
};
