#pragma once

#include "../support/scopedenv.h"
#include "../support/scriptedmessagebox.h"
#include "../support/tempdir.h"
#include "environmentvbe.h"
#include "environmentwindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWidget>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

// Readable Qt strings (and lists of them) in test failures.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

inline const std::string kExample = std::string(TRAPLINE_SOURCE_DIR) + "/examples";

/// A user of their own (configuration folder, add-in registry, settings)
/// with the add-in library installed beside the environment and a copy of
/// the example project in "p".
struct User {
    User() {
        namespace fs = std::filesystem;
        fs::create_directories(dir.file("addins"));
        fs::copy_file(TRAPLINE_ADDIN_LIBRARY, dir.file("addins/Trapline.so"));
        fs::copy(kExample, dir.file("p"), fs::copy_options::recursive);
    }
    /// A new environment window of this user's, its add-ins started as at log-in.
    std::unique_ptr<EnvironmentWindow> start() {
        auto env = std::make_unique<EnvironmentWindow>(&boxes);
        env->startAddIns({QString::fromStdString(dir.file("addins"))});
        return env;
    }
    TempDir dir;
    ScopedEnv config{"XDG_CONFIG_HOME", dir.file("config")};
    ScriptedMessageBox boxes;
};

/// An environment window whose message boxes the test answers, and a folder
/// for the test's files.
struct Session {
    /// Opens `relative` in the folder (the folder itself when empty), writing
    /// `bytes` there first when given.
    bool open(const std::string& relative, const std::string& bytes = {}) {
        const std::string path = !bytes.empty()     ? dir.write(relative, bytes)
                                 : relative.empty() ? dir.path()
                                                    : dir.file(relative);
        return env.openProject(QString::fromStdString(path));
    }
    QStringList shownLines() const { return env.codeView()->toPlainText().split('\n'); }
    TempDir dir;
    ScriptedMessageBox boxes;
    EnvironmentWindow env{&boxes};
};

/// The files of the example project whose bytes differ between two copies.
inline std::vector<std::string> differingExampleFiles(const std::string& a, const std::string& b) {
    std::vector<std::string> out;
    for (const char* file : {"modMain.bas", "source/ModUtil.bas", "frmMain.frm", "CInvoice.cls"})
        if (TempDir::read(a + "/" + file) != TempDir::read(b + "/" + file))
            out.push_back(file);
    return out;
}

inline QStringList items(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

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

/// Runs the TRAPLINE add-in's main job over the active project. Its message
/// boxes are modal dialogs of the library: the user answers Yes where there
/// is one, else OK. How many it asked.
inline int runAddIn(EnvironmentWindow& env) {
    env.show();
    actionNamed(env.standardBar()->actions(), "TRAPLINE")->trigger();
    QWidget* window = visibleTopLevel("frmAddIn");
    EXPECT_NE(window, nullptr);
    if (!window)
        return 0;
    int asked = 0;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            QAbstractButton* yes = box->button(QMessageBox::Yes);
            (yes ? yes : box->button(QMessageBox::Ok))->click();
            ++asked;
        }
    });
    answerer.start(5);
    QTest::mouseClick(window->findChild<QAbstractButton*>("OKButton"), Qt::LeftButton);
    window->hide();
    env.refresh();
    return asked;
}
