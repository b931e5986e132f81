#pragma once

#include "settingsservice.h"

#include <string>

/// GetSetting and SaveSetting on Windows: the registry under
/// HKEY_CURRENT_USER\<root>\<application>\<section>, string values.
/// Tests give a root of their own and remove it afterwards.
class RegistrySettings : public SettingsService {
public:
    static constexpr const char* kRoot = "Software\\VB and VBA Program Settings";
    explicit RegistrySettings(std::string root = kRoot) : m_root(std::move(root)) {}

    std::string setting(const std::string& application, const std::string& section,
                        const std::string& key, const std::string& fallback = {}) const override;
    /// Makes the keys as needed; a failure leaves the setting as it was.
    void saveSetting(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) override;

    const std::string& root() const { return m_root; }
    /// Removes `root` below HKEY_CURRENT_USER with all it holds.
    static bool removeRoot(const std::string& root);

private:
    std::string keyOf(const std::string& application, const std::string& section) const;
    std::string m_root;
};
