#include "recentprojects.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {
const char* kKey = "RecentProjects";
}

QString RecentProjects::userFile() {
    // Where QSettings keeps the user's "trapline"/"environment" INI file; read
    // from the environment each time, as a test or a changed user may move it.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/trapline/environment.ini";
}

QString RecentProjects::file() const {
    return m_file.isEmpty() ? userFile() : m_file;
}

QStringList RecentProjects::list() const {
    return QSettings(file(), QSettings::IniFormat).value(kKey).toStringList();
}

void RecentProjects::add(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList paths = list();
    paths.removeAll(absolute);
    paths.prepend(absolute);
    store(paths.mid(0, kMax));
}

void RecentProjects::remove(const QString& path) {
    QStringList paths = list();
    paths.removeAll(QFileInfo(path).absoluteFilePath());
    store(paths);
}

void RecentProjects::store(const QStringList& list) {
    QSettings settings(file(), QSettings::IniFormat);
    settings.setValue(kKey, list);
}
