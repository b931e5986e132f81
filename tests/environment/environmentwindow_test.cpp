#include "environmentwindow.h"

#include "../support/runcommand.h"
#include "addinhost.h"
#include "addinmanager.h"
#include "addinregistry.h"
#include "codewindow.h"
#include "environmenttest.h"
#include "projectexplorer.h"
#include "workspace.h"

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
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

TEST(EnvironmentWindow,
     ConnectsTheInstalledAddInAtStartupReopensItsWindowAndLoadsAsTheManagerSays) {
    User user;
    auto env = user.start();
    ASSERT_TRUE(env->addIns().isConnected("Trapline.Connect")) << user.boxes.shown.front().text;
    QList<QAction*> bar = env->standardBar()->actions();
    QAction* button = actionNamed(bar, "TRAPLINE");
    ASSERT_NE(button, nullptr);
    QMenu* addIns = env->menuBar()->findChild<QMenu*>("AddInsMenu");
    ASSERT_EQ(addIns->actions().back()->text(), "TRAPLINE");

    // Button and menu entry open the one tool window.
    button->trigger();
    QWidget* window = visibleTopLevel("frmAddIn");
    ASSERT_NE(window, nullptr);
    window->hide();
    addIns->actions().back()->trigger();
    EXPECT_EQ(visibleTopLevel("frmAddIn"), window);

    CommandResult listed = runShell("'" + std::string(TRAPLINE_ENVIRONMENT_BINARY) + "' --addins");
    EXPECT_EQ(listed.out, "Trapline.Connect\tTRAPLINE\tInsert Error handler to project "
                          "functions, procedures and properties\t1\n")
        << listed.err;
    EXPECT_TRUE(env->close());
    env.reset();
    EXPECT_EQ(visibleTopLevel("frmAddIn"), nullptr);
    env = user.start();
    EXPECT_NE(visibleTopLevel("frmAddIn"), nullptr);

    // Unloaded and loaded again by the manager, and not loaded at the next start.
    AddInManager* manager = env->openAddInManager();
    ASSERT_EQ(manager->list()->topLevelItemCount(), 1);
    manager->loaded()->setChecked(false);
    manager->loadOnStartup()->setChecked(false);
    manager->apply();
    EXPECT_FALSE(env->addIns().isConnected("Trapline.Connect"));
    EXPECT_EQ(actionNamed(env->standardBar()->actions(), "TRAPLINE"), nullptr);
    manager->loaded()->setChecked(true);
    manager->apply();
    EXPECT_NE(actionNamed(env->standardBar()->actions(), "TRAPLINE"), nullptr);
    manager->close();
    env.reset();
    env = user.start();
    EXPECT_FALSE(env->addIns().isConnected("Trapline.Connect"));
    EXPECT_TRUE(user.boxes.shown.empty());
}

TEST(EnvironmentWindow, RegisteringAndUnregisteringKeepEveryOtherByteOfTheUsersRegistry) {
    User user;
    const std::string theirs = "; mine\r\n\r\n[Other.Connect]\r\n  Library = /opt/o.so  \r\n"
                               "# kept\r\nLoadBehavior=0\r\n\r\n[Last.Connect]\r\nX=1\r\n";
    const std::string file = user.dir.write("config/trapline/addins.ini", theirs);
    auto env = user.start(); // the first start registers the add-in installed with it
    ASSERT_TRUE(env->addIns().isConnected("Trapline.Connect")) << user.boxes.shown.front().text;
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

    // A key the entry no longer has goes, and keys added after it stay.
    vbide::AddInRegistry::Entry last{"Last.Connect", {{"Y", "2"}}};
    ASSERT_TRUE(registry.put(last));
    expected.replace(expected.find("X=1\r\n"), 5, "Y=2\r\n");
    EXPECT_EQ(TempDir::read(file), expected);

    ASSERT_TRUE(registry.remove("Trapline.Connect"));
    EXPECT_EQ(TempDir::read(file), expected.substr(0, theirs.size()));
    ASSERT_TRUE(registry.remove("Other.Connect"));
    EXPECT_EQ(TempDir::read(file), "; mine\r\n\r\n[Last.Connect]\r\nY=2\r\n");
}

TEST(EnvironmentWindow, AnAddInThatCannotBeLoadedIsNamedAndTheEnvironmentGoesOn) {
    User user;
    const std::string fifo = user.dir.file("fifo.so");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string ours = "D26D66EF-D11E-4A0D-ACB0-F26079A76A88";
    struct Case {
        std::string progId, library, classId, reason;
    } broken[] = {{"Gone.Connect", user.dir.file("gone.so"), ours,
                   "\"Gone.Connect add-in\" (Gone.Connect) could not be loaded"},
                  {"NoExports.Connect", "libm.so.6", ours, "does not export DllGetClassObject"},
                  {"WrongClass.Connect", user.dir.file("addins/Trapline.so"),
                   "00000000-0000-0000-0000-000000000000", "has no class {00000000"},
                  {"Fifo.Connect", fifo, ours, "fifo.so: a FIFO, not a regular file"}};
    std::string registry;
    for (const Case& c : broken)
        registry += "[" + c.progId + "]\nCLSID={" + c.classId + "}\nLibrary=" + c.library +
                    "\nFriendlyName=" + c.progId + " add-in\nLoadBehavior=1\n";
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
    EnvironmentWindow env(&user.boxes);
    env.startAddIns({});
    started = true;
    writer.join();
    ASSERT_EQ(user.boxes.shown.size(), std::size(broken));
    for (size_t i = 0; i < std::size(broken); ++i)
        EXPECT_NE(user.boxes.shown[i].text.find(broken[i].reason), std::string::npos)
            << user.boxes.shown[i].text;
    EXPECT_TRUE(env.openProject(QString::fromStdString(user.dir.file("p/Ledger.vbp"))));
}

TEST(EnvironmentCommand, AnswersUsageWithoutADisplayAndRendersAProjectWithoutChangingIt) {
    TempDir dir;
    fs::copy(kExample, dir.file("p"), fs::copy_options::recursive);
    const std::string binary = dir.write("binary.vbp", std::string("\x01\0\xff\0", 4));
    const std::string book = dir.write(
        "Book.xlsm", TempDir::read(kExample + "/../tests/data/office/vbaweb_Example.xlsm"));
    const std::string out = "'" + dir.file("out") + "' ";
    const std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";
    struct Case {
        std::string run, args;
        int exitCode;
        std::string says; ///< at the start of standard output, or in standard error
    } cases[] = {
        {noDisplay, "--help", 0, "Usage: trapline-environment"},
        {noDisplay, "--bogus", 2, "unknown option --bogus"},
        {noDisplay, "a.vbp", 1, "no display"},
        {"QT_QPA_PLATFORM=offscreen ", "--render " + out + "'" + binary + "'", 2,
         "binary file, not a VB project"},
        {"QT_QPA_PLATFORM=offscreen ",
         "--render " + out + "'" + dir.file("p/Ledger.vbp") + "' '" + book + "'", 0, ""},
    };
    for (const Case& c : cases) {
        // `timeout` only keeps a hang from stalling the suite; it is no measure.
        CommandResult r =
            runShell(c.run + "timeout 120 '" + TRAPLINE_ENVIRONMENT_BINARY + "' " + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args << "\n" << r.err;
        EXPECT_TRUE(c.exitCode == 0 ? r.out.rfind(c.says, 0) == 0
                                    : r.err.find(c.says) != std::string::npos)
            << c.args << "\n"
            << r.out << r.err;
    }
    EXPECT_EQ(TempDir::namesIn(dir.file("out")),
              (std::vector<std::string>{
                  "about.png", "addin.png", "addinmanager.png", "changes.png", "dialog.png",
                  "environment-changed.png", "environment-document.png", "environment.png",
                  "procedures.png", "savewaiting.png", "templatefile.png", "tip.png"}));
    for (const std::string& picture : TempDir::namesIn(dir.file("out")))
        EXPECT_GT(fs::file_size(dir.file("out/" + picture)), 0u) << picture;
    // The add-in ran for the changes picture; nothing of it may reach the disk.
    EXPECT_EQ(differingExampleFiles(dir.file("p"), kExample), std::vector<std::string>{});
    EXPECT_EQ(TempDir::read(book),
              TempDir::read(kExample + "/../tests/data/office/vbaweb_Example.xlsm"));
}

TEST(EnvironmentWindow, ProjectsFoldersAndModulesDroppedOnTheWindowOpenAndOtherFilesAreRefused) {
    Session s;
    const std::string a = s.dir.write("A.bas", "Attribute VB_Name = \"A\"\r\n");
    const std::string b = s.dir.write("sub/B.cls", "Attribute VB_Name = \"B\"\r\n");
    const std::string text = s.dir.write("notes.txt", "not VB\r\n");
    EnvironmentWindow& env = s.env;
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
    EXPECT_EQ(env.workspace().entries().size(), 0u);
    // Several module files are one project, as on the command line.
    EXPECT_TRUE(drop(&env, {a, b}));
    ASSERT_EQ(env.workspace().entries().size(), 1u);
    EXPECT_EQ(env.vbe().ActiveVBProject()->VBComponents().Count(), 2);
    EXPECT_TRUE(drop(&env, {kExample + "/Ledger.vbp"}));
    EXPECT_EQ(env.vbe().ActiveVBProject()->Name(), "Ledger");
    // Dropped on the code: opened, not typed into the module shown.
    EXPECT_TRUE(drop(env.codeView()->viewport(), {a}));
    EXPECT_EQ(env.vbe().ActiveVBProject()->VBComponents().Count(), 1);
    EXPECT_FALSE(env.isModified());
    EXPECT_TRUE(s.boxes.shown.empty());
}

TEST(EnvironmentWindow, SaveShowsItWaitsForAnotherRunInTheFolderAndCancelWritesNothing) {
    for (const bool cancel : {true, false}) {
        Session s;
        const std::string module = "Attribute VB_Name = \"M\"\r\nSub S()\r\nEnd Sub\r\n";
        ASSERT_TRUE(s.open("M.bas", module));
        ASSERT_TRUE(s.env.explorer()->currentComponent()->CodeModule().InsertLines(1, "' mine"));
        // Another run holds the folder; it lets go after a while in any case,
        // so that a save that cannot be cancelled fails instead of hanging.
        std::atomic<int> other = ::open(s.dir.path().c_str(), O_RDONLY | O_DIRECTORY);
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
        EXPECT_EQ(s.env.saveProject(), !cancel);
        release();
        patience.join();
        EXPECT_TRUE(said.contains(
            QString::fromStdString("another trapline run to finish in " + s.dir.path())))
            << said.toStdString();
        EXPECT_EQ(TempDir::read(s.dir.file("M.bas")),
                  cancel ? module : std::string(module).insert(25, "' mine\r\n"));
        EXPECT_EQ(s.env.isModified(), cancel);
        EXPECT_TRUE(s.boxes.shown.empty()) << s.boxes.shown.front().text;
        EXPECT_EQ(TempDir::namesIn(s.dir.path()), std::vector<std::string>{"M.bas"});
    }
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
    Session s;
    writeModules(s.dir, "big", 40);
    ASSERT_TRUE(s.open("big"));
    EnvironmentWindow& env = s.env;
    const trapline::Project& project = *env.vbe().ActiveVBProject();
    ASSERT_EQ(project.VBComponents().Count(), 40);
    EXPECT_EQ(loadedCount(project), 1); // only the module shown on opening
    trapline::Component* other = *project.VBComponents().Item(17);
    ASSERT_FALSE(other->isLoaded());
    // Listed by the name the file gives itself (m16.bas says Mod16), as the
    // add-in's module list will offer it.
    QTreeWidgetItem* item = env.explorer()->itemOf(other);
    ASSERT_NE(item, nullptr); // listed all the same
    EXPECT_TRUE(item->text(0).startsWith("Mod16 (m16.bas)")) << item->text(0).toStdString();
    env.explorer()->setCurrentItem(item);
    EXPECT_TRUE(env.codeView()->toPlainText().contains("Sub Work16()"));
    EXPECT_EQ(loadedCount(project), 2);
    EXPECT_TRUE(s.boxes.shown.empty());

    const std::string theirs =
        "Attribute VB_Name = \"Mod02\"\r\n' edited elsewhere, longer now\r\n";
    s.dir.write("big/m02.bas", theirs);
    trapline::Component* changed = *project.VBComponents().Item(3);
    env.explorer()->setCurrentItem(env.explorer()->itemOf(changed));
    ASSERT_EQ(s.boxes.shown.size(), 1u);
    EXPECT_NE(s.boxes.shown[0].text.find("m02.bas"), std::string::npos) << s.boxes.shown[0].text;
    EXPECT_FALSE(env.codeView()->toPlainText().contains("Work02"));
    env.refresh(); // said once, not again at every look
    EXPECT_EQ(s.boxes.shown.size(), 1u);
    EXPECT_FALSE(env.isModified());
    EXPECT_TRUE(env.saveProject());
    EXPECT_EQ(TempDir::read(s.dir.file("big/m02.bas")), theirs);
}

TEST(EnvironmentWindow, TheAddInRunTreatsEveryModuleOpenedUnreadAsOneUndoStepOfEach) {
    User user;
    writeModules(user.dir, "big", 3);
    auto env = user.start();
    ASSERT_TRUE(env->openProject(QString::fromStdString(user.dir.file("big"))));
    const trapline::Project& project = *env->vbe().ActiveVBProject();
    ASSERT_EQ(loadedCount(project), 1);
    ASSERT_GT(runAddIn(*env), 0); // the add-in asked first
    EXPECT_EQ(loadedCount(project), 3);
    // The run is one undo step of each module it changed, shown or never looked at,
    // with one handler a procedure.
    for (long i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        trapline::Component* module = *project.VBComponents().Item(i);
        env->explorer()->setCurrentItem(env->explorer()->itemOf(module));
        env->undoAction()->trigger();
        EXPECT_EQ(module->serialize(), TempDir::read(module->path()));
        EXPECT_FALSE(env->codeWindow()->canUndo());
        env->redoAction()->trigger();
        const QString id = QString("0%1").arg(i - 1), text = env->codeView()->toPlainText();
        EXPECT_EQ(text.count("\"Mod" + id + ".Work" + id + "\""), 1) << text.toStdString();
        EXPECT_EQ(text.count("\"Mod" + id + ".Sum" + id + "\""), 1) << text.toStdString();
    }
    ASSERT_TRUE(env->saveProject());
    EXPECT_TRUE(user.boxes.shown.empty()) << user.boxes.shown.front().text;
    for (long i = 1; i <= 3; ++i)
        EXPECT_EQ(TempDir::read((*project.VBComponents().Item(i))->path()),
                  (*project.VBComponents().Item(i))->serialize());
}
