#include "environmentwindow.h"

#include "../support/runcommand.h"
#include "../support/scriptedmessagebox.h"
#include "addinhost.h"
#include "addinmanager.h"
#include "addinregistry.h"
#include "codewindow.h"
#include "environmenttest.h"
#include "environmentvbe.h"
#include "projectexplorer.h"
#include "workspace.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kExample = std::string(TRAPLINE_SOURCE_DIR) + "/examples";

/// Plays the user at the add-in's own message boxes (modal dialogs of the
/// library) while it lives: Yes where there is one, else OK; records the texts.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer() {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            texts << box->text();
            QAbstractButton* yes = box->button(QMessageBox::Yes);
            (yes ? yes : box->button(QMessageBox::Ok))->click();
        });
        m_poll.start(5);
    }
    QStringList texts;

private:
    QTimer m_poll;
};

} // namespace

TEST(EnvironmentWindow, ConnectsTheInstalledAddInAtStartupAndReopensTheWindowLeftOpen) {
    User user;
    ScriptedMessageBox boxes;
    {
        EnvironmentWindow env(&boxes);
        QApplication::clipboard()->setText("the user's own clipboard");
        env.startAddIns(user.bundled());
        EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text;
        ASSERT_TRUE(env.addIns().isConnected("Trapline.Connect"));
        QList<QAction*> bar = env.standardBar()->actions();
        QAction* button = actionNamed(bar, "TRAPLINE");
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(bar.indexOf(button), bar.size() - 2); // before the bar's last control
        EXPECT_FALSE(button->icon().isNull());
        QMenu* addIns = env.menuBar()->findChild<QMenu*>("AddInsMenu");
        ASSERT_NE(addIns, nullptr);
        EXPECT_EQ(addIns->actions().back()->text(), "TRAPLINE");
        EXPECT_EQ(QApplication::clipboard()->text(), "the user's own clipboard");

        // Button and menu entry open the one tool window.
        EXPECT_EQ(visibleTopLevel("frmAddIn"), nullptr);
        button->trigger();
        QWidget* window = visibleTopLevel("frmAddIn");
        ASSERT_NE(window, nullptr);
        window->hide();
        addIns->actions().back()->trigger();
        EXPECT_EQ(visibleTopLevel("frmAddIn"), window);
        const QWidgetList all = QApplication::topLevelWidgets();
        EXPECT_EQ(std::count_if(all.begin(), all.end(),
                                [](QWidget* w) { return w->objectName() == "frmAddIn"; }),
                  1);

        CommandResult listed =
            runCommand("'" + std::string(TRAPLINE_ENVIRONMENT_BINARY) + "' --addins");
        EXPECT_EQ(listed.exitCode, 0) << listed.err;
        EXPECT_EQ(listed.out, "Trapline.Connect\tTRAPLINE\tInsert Error handler to project "
                              "functions, procedures and properties\t1\n");
        EXPECT_TRUE(env.close());
    }
    EXPECT_EQ(user.setting("Settings/DisplayOnConnect"), "1");
    EXPECT_EQ(visibleTopLevel("frmAddIn"), nullptr);
    EnvironmentWindow next(&boxes);
    next.startAddIns(user.bundled());
    EXPECT_NE(visibleTopLevel("frmAddIn"), nullptr);
}

TEST(EnvironmentWindow, RegisteringAndUnregisteringKeepEveryOtherByteOfTheUsersRegistry) {
    User user;
    const std::string theirs = "; mine\r\n\r\n[Other.Connect]\r\n  Library = /opt/o.so  \r\n"
                               "# kept\r\nLoadBehavior=0\r\n\r\n[Last.Connect]\r\nX=1\r\n";
    const std::string file = user.dir.write("config/trapline/addins.ini", theirs);
    ScriptedMessageBox boxes;
    EnvironmentWindow env(&boxes); // the first start registers the add-in installed with it
    env.startAddIns(user.bundled());
    ASSERT_TRUE(env.addIns().isConnected("Trapline.Connect")) << boxes.shown.front().text;
    const std::string registered = TempDir::read(file);
    EXPECT_EQ(registered.rfind(theirs + "\r\n[Trapline.Connect]\r\nCLSID=", 0), 0u) << registered;
    EXPECT_EQ(std::count(registered.begin(), registered.end(), '\n'),
              std::ssize(QString::fromStdString(registered).split("\r\n")) - 1);

    // A changed value is the only change, spaces and all.
    vbide::AddInRegistry registry;
    auto other = registry.find("Other.Connect");
    ASSERT_TRUE(other);
    other->setLoadOnStartup(true);
    other->set("Library", "/opt/p.so");
    ASSERT_TRUE(registry.put(*other));
    std::string expected = registered;
    expected.replace(expected.find("/opt/o.so"), 9, "/opt/p.so");
    expected.replace(expected.find("LoadBehavior=0"), 14, "LoadBehavior=1");
    EXPECT_EQ(TempDir::read(file), expected);

    ASSERT_TRUE(registry.remove("Trapline.Connect"));
    EXPECT_EQ(TempDir::read(file), expected.substr(0, theirs.size()));
    ASSERT_TRUE(registry.remove("Other.Connect"));
    EXPECT_EQ(TempDir::read(file), "; mine\r\n\r\n[Last.Connect]\r\nX=1\r\n");
}

TEST(EnvironmentWindow, AddInManagerUnloadsLoadsAndKeepsLoadOnStartup) {
    User user;
    ScriptedMessageBox boxes;
    {
        EnvironmentWindow env(&boxes);
        env.startAddIns(user.bundled());
        AddInManager* manager = env.openAddInManager();
        ASSERT_EQ(manager->list()->topLevelItemCount(), 1);
        EXPECT_EQ(manager->list()->topLevelItem(0)->text(0), "TRAPLINE");
        EXPECT_EQ(manager->list()->topLevelItem(0)->text(1), "Startup / Loaded");
        EXPECT_EQ(manager->description()->text(),
                  "Insert Error handler to project functions, procedures and properties");
        manager->loaded()->setChecked(false);
        manager->loadOnStartup()->setChecked(false);
        manager->apply();
        EXPECT_FALSE(env.addIns().isConnected("Trapline.Connect"));
        EXPECT_EQ(actionNamed(env.standardBar()->actions(), "TRAPLINE"), nullptr);
        EXPECT_EQ(manager->list()->topLevelItem(0)->text(1), "Unloaded");

        manager->loaded()->setChecked(true);
        manager->apply();
        EXPECT_TRUE(env.addIns().isConnected("Trapline.Connect"));
        EXPECT_NE(actionNamed(env.standardBar()->actions(), "TRAPLINE"), nullptr);
        manager->close();
    }
    EnvironmentWindow next(&boxes);
    next.startAddIns(user.bundled());
    EXPECT_FALSE(next.addIns().isConnected("Trapline.Connect")); // not on start-up any more
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(EnvironmentWindow, AnAddInThatCannotBeLoadedIsNamedAndTheEnvironmentGoesOn) {
    User user;
    const std::string fifo = user.dir.file("fifo.so");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, std::string> broken[] = {
        {"Gone.Connect", user.dir.file("gone.so")},
        {"NoExports.Connect", "libm.so.6"},
        {"WrongClass.Connect", user.dir.file("addins/Trapline.so")},
        {"Fifo.Connect", fifo}};
    std::string registry;
    for (const auto& [progId, library] : broken)
        registry += "[" + progId + "]\nCLSID={" +
                    (progId == "WrongClass.Connect" ? "00000000-0000-0000-0000-000000000000"
                                                    : "D26D66EF-D11E-4A0D-ACB0-F26079A76A88") +
                    "}\nLibrary=" + library + "\nFriendlyName=" + progId +
                    " add-in\nLoadBehavior=1\n";
    user.dir.write("config/trapline/addins.ini", registry);
    // Should the FIFO be opened, a writer lets the open go on, so that the
    // test fails instead of hanging.
    std::atomic<bool> started = false;
    std::thread writer([&] {
        for (int waited = 0; !started; waited += 10) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (int fd = waited < 3000 ? -1 : ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0)
                ::close(fd);
        }
    });
    ScriptedMessageBox boxes;
    EnvironmentWindow env(&boxes);
    env.startAddIns({});
    started = true;
    writer.join();
    const char* reasons[] = {"\"Gone.Connect add-in\" (Gone.Connect) could not be loaded",
                             "does not export DllGetClassObject", "has no class {00000000",
                             "fifo.so: a FIFO, not a regular file"};
    ASSERT_EQ(boxes.shown.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_NE(boxes.shown[i].text.find(reasons[i]), std::string::npos) << boxes.shown[i].text;
    AddInManager* manager = env.openAddInManager();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(manager->list()->topLevelItem(i)->text(1), "Startup / Unloaded");
    manager->close();
    EXPECT_TRUE(env.openProject(QString::fromStdString(user.dir.file("p/Ledger.vbp"))));
}

TEST(EnvironmentCommand, AnswersUsageWithoutADisplayAndRefusesWhatItCannotRender) {
    TempDir dir;
    const std::string binary = dir.write("binary.vbp", std::string("\x01\0\xff\0", 4));
    const std::string out = "'" + dir.file("out") + "' ";
    const std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";
    struct Case {
        std::string run, args;
        int exitCode;
        std::string says; ///< at the start of standard output, or in standard error
    } cases[] = {
        {noDisplay, "--help", 0, "Usage: trapline-environment"},
        {noDisplay, "--version", 0, "trapline-environment 0."},
        {noDisplay, "--bogus", 2, "unknown option --bogus"},
        {noDisplay, "a.vbp b.vbp", 2, "unexpected argument b.vbp"},
        {noDisplay, "--render " + out, 2, "--render needs DIR and PROJECT"},
        {noDisplay, "a.vbp", 1, "no display"},
        {"QT_QPA_PLATFORM=offscreen ", "--render " + out + "'" + dir.file("none.vbp") + "'", 2,
         "none.vbp: no such file or folder"},
        {"QT_QPA_PLATFORM=offscreen ", "--render " + out + "'" + binary + "'", 2,
         "binary file, not a VB project"},
    };
    for (const Case& c : cases) {
        // `timeout` only keeps a hang from stalling the suite; it is no measure.
        CommandResult r =
            runCommand(c.run + "timeout 60 '" + TRAPLINE_ENVIRONMENT_BINARY + "' " + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args << "\n" << r.err;
        EXPECT_TRUE(c.exitCode == 0 ? r.out.rfind(c.says, 0) == 0
                                    : r.err.find(c.says) != std::string::npos)
            << c.args << "\n"
            << r.out << r.err;
    }
}

TEST(EnvironmentWindow, ProjectsFoldersAndModulesDroppedOnTheWindowOpenAndOtherFilesAreRefused) {
    TempDir dir;
    const std::string a = dir.write("A.bas", "Attribute VB_Name = \"A\"\r\n");
    const std::string b = dir.write("sub/B.cls", "Attribute VB_Name = \"B\"\r\n");
    const std::string text = dir.write("notes.txt", "not VB\r\n");
    ScriptedMessageBox boxes;
    EnvironmentWindow env(&boxes);
    // File managers send the names as text too.
    auto drop = [&](QWidget* on, const std::vector<std::string>& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& p : paths)
            urls << QUrl::fromLocalFile(QString::fromStdString(p));
        data.setUrls(urls);
        data.setText(urls.isEmpty() ? QString() : urls.front().toLocalFile());
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(on, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(on, &dropped);
        return dropped.isAccepted();
    };
    EXPECT_FALSE(drop(&env, {a, text}));
    EXPECT_FALSE(drop(&env, {}));
    EXPECT_EQ(env.workspace().entries().size(), 0u);
    // Several module files are one project, as on the command line.
    EXPECT_TRUE(drop(&env, {a, b}));
    ASSERT_EQ(env.workspace().entries().size(), 1u);
    EXPECT_EQ(env.vbe().ActiveVBProject()->VBComponents().Count(), 2);
    EXPECT_TRUE(drop(&env, {dir.path()}));
    EXPECT_EQ(env.vbe().ActiveVBProject()->VBComponents().Count(), 2);
    EXPECT_TRUE(drop(&env, {kExample + "/Ledger.vbp"}));
    EXPECT_EQ(env.vbe().ActiveVBProject()->Name(), "Ledger");
    // Dropped on the code: opened, not typed into the module shown.
    EXPECT_TRUE(drop(env.codeView()->viewport(), {a}));
    EXPECT_EQ(env.vbe().ActiveVBProject()->VBComponents().Count(), 1);
    EXPECT_FALSE(env.isModified());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(EnvironmentWindow, SaveShowsItWaitsForAnotherRunInTheFolderAndCancelWritesNothing) {
    for (const bool cancel : {true, false}) {
        TempDir dir;
        const std::string module = "Attribute VB_Name = \"M\"\r\nSub S()\r\nEnd Sub\r\n";
        const std::string path = dir.write("M.bas", module);
        ScriptedMessageBox boxes;
        EnvironmentWindow env(&boxes);
        ASSERT_TRUE(env.openProject(QString::fromStdString(path)));
        ASSERT_TRUE(env.explorer()->currentComponent()->CodeModule().InsertLines(1, "' mine"));
        // Another run holds the folder; it lets go after a while in any case,
        // so that a save that cannot be cancelled fails instead of hanging.
        std::atomic<int> other = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
        ASSERT_EQ(::flock(other, LOCK_EX), 0);
        auto release = [&] {
            if (int fd = other.exchange(-1); fd >= 0)
                ::close(fd);
        };
        std::thread patience([&] {
            for (int waited = 0; waited < 5000 && other >= 0; waited += 10)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            release();
        });
        QString said;
        QTimer::singleShot(300, [&] {
            if (auto* dialog = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget()))
                said = dialog->labelText();
            if (cancel)
                QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
            else
                release();
        });
        EXPECT_EQ(env.saveProject(), !cancel);
        release();
        patience.join();
        EXPECT_TRUE(said.contains(
            QString::fromStdString("another trapline run to finish in " + dir.path())))
            << said.toStdString();
        EXPECT_EQ(TempDir::read(path), cancel ? module
                                              : "Attribute VB_Name = \"M\"\r\n' mine\r\n"
                                                "Sub S()\r\nEnd Sub\r\n");
        EXPECT_EQ(env.isModified(), cancel);
        EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text;
        EXPECT_EQ(TempDir::namesIn(dir.path()), std::vector<std::string>{"M.bas"});
    }
}

TEST(EnvironmentCommand, RendersTheNewViewsAndLeavesTheProjectAsItWas) {
    TempDir dir;
    fs::copy(kExample, dir.file("p"), fs::copy_options::recursive);
    CommandResult r = runCommand("QT_QPA_PLATFORM=offscreen timeout 120 '" +
                                 std::string(TRAPLINE_ENVIRONMENT_BINARY) + "' --render '" +
                                 dir.file("out") + "' '" + dir.file("p/Ledger.vbp") + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* picture :
         {"environment.png", "procedures.png", "changes.png", "environment-changed.png"})
        EXPECT_TRUE(fs::file_size(dir.file(std::string("out/") + picture)) > 0) << picture;
    // The add-in ran for the changes picture; nothing of it may reach the disk.
    for (const char* file : {"modMain.bas", "source/ModUtil.bas", "frmMain.frm", "CInvoice.cls"})
        EXPECT_TRUE(TempDir::read(dir.file(std::string("p/") + file)) ==
                    TempDir::read(kExample + "/" + file))
            << file;
}

namespace {

/// A folder of `n` modules, m00.bas…, each naming itself "ModNN" inside and
/// holding two procedures.
void writeModules(const TempDir& dir, const std::string& folder, int n) {
    for (int i = 0; i < n; ++i) {
        const std::string id = (i < 10 ? "0" : "") + std::to_string(i);
        dir.write(folder + "/m" + id + ".bas",
                  "Attribute VB_Name = \"Mod" + id + "\"\r\nOption Explicit\r\n\r\nSub Work" + id +
                      "()\r\n    Debug.Print " + id + "\r\nEnd Sub\r\n\r\nFunction Sum" + id +
                      "(a As Long) As Long\r\n    Sum" + id + " = a + " + id +
                      "\r\nEnd Function\r\n");
    }
}

int loadedCount(const trapline::Project& project) {
    int n = 0;
    for (long i = 1; i <= project.VBComponents().Count(); ++i)
        n += (*project.VBComponents().Item(i))->isLoaded();
    return n;
}

} // namespace

TEST(EnvironmentWindow, AModuleIsReadWhenFirstShownAndOneChangedOnDiskMeanwhileIsNamedAndKept) {
    TempDir dir;
    writeModules(dir, "big", 40);
    ScriptedMessageBox boxes;
    EnvironmentWindow env(&boxes);
    ASSERT_TRUE(env.openProject(QString::fromStdString(dir.file("big"))));
    const trapline::Project& project = *env.vbe().ActiveVBProject();
    ASSERT_EQ(project.VBComponents().Count(), 40);
    // The tree lists every module; only the one shown on opening was read.
    int listed = 0;
    for (QTreeWidgetItemIterator it(env.explorer()); *it; ++it)
        listed += ProjectExplorer::componentOf(*it) != nullptr;
    EXPECT_EQ(listed, 40);
    EXPECT_TRUE(env.explorer()->currentComponent()->isLoaded());
    EXPECT_EQ(loadedCount(project), 1);

    trapline::Component* other = *project.VBComponents().Item(17);
    ASSERT_FALSE(other->isLoaded());
    // Listed by the name the file gives itself (m16.bas says Mod16), as the
    // add-in's module list will offer it.
    EXPECT_TRUE(env.explorer()->itemOf(other)->text(0).startsWith("Mod16 (m16.bas)"))
        << env.explorer()->itemOf(other)->text(0).toStdString();
    env.explorer()->setCurrentItem(env.explorer()->itemOf(other));
    EXPECT_TRUE(env.codeView()->toPlainText().contains("Sub Work16()"));
    EXPECT_EQ(loadedCount(project), 2);
    EXPECT_TRUE(boxes.shown.empty());

    const std::string theirs =
        "Attribute VB_Name = \"Mod02\"\r\n' edited elsewhere, longer now\r\n";
    dir.write("big/m02.bas", theirs);
    trapline::Component* changed = *project.VBComponents().Item(3);
    env.explorer()->setCurrentItem(env.explorer()->itemOf(changed));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("m02.bas"), std::string::npos) << boxes.shown[0].text;
    EXPECT_FALSE(env.codeView()->toPlainText().contains("Work02"));
    env.refresh(); // said once, not again at every look
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_FALSE(env.isModified());
    EXPECT_TRUE(env.saveProject());
    EXPECT_EQ(TempDir::read(dir.file("big/m02.bas")), theirs);
}

TEST(EnvironmentWindow, TheAddInRunTreatsEveryModuleOpenedUnreadAsOneUndoStepOfEach) {
    User user;
    writeModules(user.dir, "big", 3);
    ScriptedMessageBox boxes;
    EnvironmentWindow env(&boxes);
    ASSERT_TRUE(env.openProject(QString::fromStdString(user.dir.file("big"))));
    const trapline::Project& project = *env.vbe().ActiveVBProject();
    ASSERT_EQ(loadedCount(project), 1);
    env.startAddIns(user.bundled());
    env.show();
    actionNamed(env.standardBar()->actions(), "TRAPLINE")->trigger();
    ASSERT_NE(visibleTopLevel("frmAddIn"), nullptr);
    MessageBoxAnswerer answers;
    QTest::mouseClick(visibleTopLevel("frmAddIn")->findChild<QAbstractButton*>("OKButton"),
                      Qt::LeftButton);
    ASSERT_FALSE(answers.texts.isEmpty());
    EXPECT_EQ(answers.texts.front(), "Вставлять обработку ошибок ?");
    EXPECT_EQ(loadedCount(project), 3);
    env.refresh();
    // The run is one undo step of each module it changed, shown or never looked at.
    for (const auto& [index, handler] :
         {std::pair<long, QString>{1, "\"Mod00.Work00\""}, {3, "\"Mod02.Sum02\""}}) {
        trapline::Component* module = *project.VBComponents().Item(index);
        env.explorer()->setCurrentItem(env.explorer()->itemOf(module));
        ASSERT_TRUE(env.codeView()->toPlainText().contains(handler));
        env.undoAction()->trigger();
        EXPECT_EQ(module->serialize(), TempDir::read(module->path())) << index;
        EXPECT_FALSE(env.codeWindow()->canUndo()) << index;
        env.redoAction()->trigger();
        EXPECT_TRUE(env.codeView()->toPlainText().contains(handler)) << index;
    }

    // Saved, each file holds one handler per procedure.
    ASSERT_TRUE(env.saveProject());
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text;
    for (const std::string id : {"00", "01", "02"}) {
        const std::string text = TempDir::read(user.dir.file("big/m" + id + ".bas"));
        for (const std::string proc : {".Work", ".Sum"}) {
            const std::string name = "\"Mod" + id + proc + id + "\"";
            EXPECT_NE(text.find(name), std::string::npos) << text;
            EXPECT_EQ(text.find(name), text.rfind(name)) << text;
        }
    }
}
