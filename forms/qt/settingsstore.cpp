#include "settingsstore.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

SettingsStore::SettingsStore(QString folder) : m_folder(std::move(folder)) {
    if (m_folder.isEmpty())
        m_folder =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/trapline";
}

QString SettingsStore::fileFor(const QString& application) const {
    return QDir(m_folder).filePath(application + ".ini");
}

QString SettingsStore::GetSetting(const QString& application, const QString& section,
                                  const QString& key, const QString& fallback) const {
    QSettings settings(fileFor(application), QSettings::IniFormat);
    return settings.value(section + "/" + key, fallback).toString();
}

void SettingsStore::SaveSetting(const QString& application, const QString& section,
                                const QString& key, const QString& value) {
    QDir().mkpath(m_folder);
    QSettings settings(fileFor(application), QSettings::IniFormat);
    settings.setValue(section + "/" + key, value);
}

int SettingsStore::number(const QString& application, const QString& section, const QString& key,
                          int fallback) const {
    bool ok = false;
    int value = GetSetting(application, section, key).trimmed().toInt(&ok);
    return ok ? value : fallback;
}

std::string SettingsStore::setting(const std::string& application, const std::string& section,
                                   const std::string& key, const std::string& fallback) const {
    return GetSetting(QString::fromStdString(application), QString::fromStdString(section),
                      QString::fromStdString(key), QString::fromStdString(fallback))
        .toStdString();
}

void SettingsStore::saveSetting(const std::string& application, const std::string& section,
                                const std::string& key, const std::string& value) {
    SaveSetting(QString::fromStdString(application), QString::fromStdString(section),
                QString::fromStdString(key), QString::fromStdString(value));
}
