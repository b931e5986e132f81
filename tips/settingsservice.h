#pragma once

#include "versionrecord.h"

#include <string>

/// The run time's GetSetting and SaveSetting as the add-in's windows use
/// them: (application, section, key) -> text. Texts are UTF-8.
class SettingsService {
public:
    /// The application every setting of the add-in is kept under: the product name.
    static constexpr const char* kApplication = VersionRecord::kProductName;

    virtual ~SettingsService() = default;
    virtual std::string setting(const std::string& application, const std::string& section,
                                const std::string& key, const std::string& fallback = {}) const = 0;
    virtual void saveSetting(const std::string& application, const std::string& section,
                             const std::string& key, const std::string& value) = 0;
};
