#pragma once

// The side's own settings store, kept where only one test looks: an INI
// folder inside the test's folder (Qt), or a registry key of the test's own
// below HKEY_CURRENT_USER, removed afterwards (Win32).

#include "tempdir.h"

#ifdef _WIN32
#include "registrysettings.h"

struct TestSettings : RegistrySettings {
    explicit TestSettings(const TempDir& dir)
        : RegistrySettings("Software\\" + utf8String(utf8Path(dir.path()).filename())) {}
    ~TestSettings() override { removeRoot(root()); }
    TestSettings(const TestSettings&) = delete;
    TestSettings& operator=(const TestSettings&) = delete;
};
#else
#include "settingsstore.h"

struct TestSettings : SettingsStore {
    explicit TestSettings(const TempDir& dir)
        : SettingsStore(QString::fromStdString(dir.file("settings"))) {}
};
#endif
