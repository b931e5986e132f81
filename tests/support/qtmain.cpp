// Runs GUI tests on the offscreen platform, with a real QApplication, as a
// user of their own: settings, caches and the add-in registry go to a
// temporary home removed at the end, never to the real user's.
#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    const QByteArray path = home.path().toLocal8Bit();
    qputenv("HOME", path);
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME",
                             "XDG_RUNTIME_DIR"})
        qputenv(name, path + "/" + QByteArray(name).toLower());
    // Qt wants the runtime folder there and private.
    QDir().mkpath(home.filePath("xdg_runtime_dir"));
    QFile::setPermissions(home.filePath("xdg_runtime_dir"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
