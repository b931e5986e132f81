#pragma once

#include "settingsservice.h"

#include <QString>

/// The per-user settings store: (application, section, key) -> text, read
/// with a default. Kept as an INI file per user; tests point it at a folder
/// of their own.
class SettingsStore : public SettingsService {
public:
    /// The store in `folder`; the default is the user's configuration folder.
    explicit SettingsStore(QString folder = {});

    QString GetSetting(const QString& application, const QString& section, const QString& key,
                       const QString& fallback = {}) const;
    void SaveSetting(const QString& application, const QString& section, const QString& key,
                     const QString& value);

    /// A setting read as a whole number; text that is no number gives `fallback`.
    int number(const QString& application, const QString& section, const QString& key,
               int fallback) const;

    std::string setting(const std::string& application, const std::string& section,
                        const std::string& key, const std::string& fallback = {}) const override;
    void saveSetting(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) override;

private:
    QString fileFor(const QString& application) const;
    QString m_folder;
};
