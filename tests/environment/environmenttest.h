#pragma once

#include "../support/scopedenv.h"
#include "../support/tempdir.h"

#include <QAction>
#include <QApplication>
#include <QSettings>
#include <QWidget>
#include <filesystem>

/// A user of their own (configuration folder, add-in registry, settings)
/// with the add-in library installed beside the environment and a copy of
/// the example project in "p".
struct User {
    User() {
        namespace fs = std::filesystem;
        fs::create_directories(dir.file("addins"));
        fs::copy_file(TRAPLINE_ADDIN_LIBRARY, dir.file("addins/Trapline.so"));
        fs::copy(std::string(TRAPLINE_SOURCE_DIR) + "/examples", dir.file("p"),
                 fs::copy_options::recursive);
    }
    QStringList bundled() const { return {QString::fromStdString(dir.file("addins"))}; }
    std::string setting(const std::string& key) const {
        QSettings s(QString::fromStdString(dir.file("config/trapline/TRAPLINE Add-In.ini")),
                    QSettings::IniFormat);
        return s.value(QString::fromStdString(key)).toString().toStdString();
    }
    TempDir dir;
    ScopedEnv config{"XDG_CONFIG_HOME", dir.file("config")};
};

inline QAction* actionNamed(const QList<QAction*>& actions, const QString& text) {
    for (QAction* a : actions)
        if (a->text() == text)
            return a;
    return nullptr;
}

inline QWidget* visibleTopLevel(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            return w;
    return nullptr;
}
