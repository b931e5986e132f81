#pragma once

#include <QString>
#include <QStringList>

/// The projects opened last, newest first, kept in the environment's own
/// settings ($XDG_CONFIG_HOME/trapline/environment.ini, key RecentProjects)
/// so that the File menu offers them again in the next session.
class RecentProjects {
public:
    static constexpr int kMax = 8;

    /// `settingsFile` is the INI file to keep the list in; empty: the user's
    /// environment settings, looked up afresh on every call.
    explicit RecentProjects(QString settingsFile = {}) : m_file(std::move(settingsFile)) {}

    /// The user's environment settings file, looked up afresh on each call
    /// (QSettings's own user scope is fixed at its first use).
    static QString userFile();

    QStringList list() const;
    /// Puts `path`, made absolute, first; an earlier mention of it goes, and
    /// the oldest beyond kMax.
    void add(const QString& path);
    void remove(const QString& path);

private:
    QString file() const;
    void store(const QStringList& list);

    QString m_file;
};
