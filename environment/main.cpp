// The TRAPLINE environment: opens a VB6 project, hosts the registered
// add-ins and saves the result.

#include "addinhost.h"
#include "addinmanager.h"
#include "addinregistry.h"
#include "changesview.h"
#include "codewindow.h"
#include "environmentwindow.h"
#include "folderlocks.h"
#include "projectexplorer.h"
#include "signalcleanup.h"
#include "stderrmessagebox.h"
#include "workspace.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidgetItemIterator>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

const char* kUsage = R"(Usage: trapline-environment [PROJECT]
       trapline-environment --render DIR PROJECT [DOCUMENT]
       trapline-environment --addins

Opens PROJECT in the TRAPLINE environment: a .vbp, a .vbg (each of its
projects), a folder (each .vbp in it, and one more project of the module
files none of them lists; without a .vbp, all its module files), a module
file or an Office document with VBA (.xlsm, .xls, .docm, .doc, .pptm and
their kin, each document a project of its own). Files, folders and projects
dropped on the window open the same way.
Registered add-ins are listed and loaded in its Add-Ins > Add-In Manager;
those marked "Load on Startup" are loaded as it starts. Add-ins installed
with it are registered for each user at the first start.

  --render DIR PROJECT  write a picture of every window (the environment, its
                        procedure list open, the Add-In Manager, the TRAPLINE
                        add-in's tool window, tip window, About box, text
                        input dialog and template file dialog, View >
                        Changes after the add-in's run, which is not saved,
                        and the window Save shows while another run holds
                        the project's folder) to PNG files in DIR, then
                        exit; with DOCUMENT, also the environment with that
                        Office document open (environment-document.png);
                        with QT_QPA_PLATFORM=offscreen no display is needed
  --addins              print the registered add-ins, one per line: ProgID,
                        display name, description and load behaviour,
                        separated by tabs
  -h, --help            show this help
  --version             show the version

Add-ins are registered in $XDG_CONFIG_HOME/trapline/addins.ini (by default
~/.config/trapline/addins.ini), for instance with trapline-regsvr.

Exit status of --render and --addins: 0 when done, 1 when a picture could
not be written or there is no display, 2 for bad usage or a project that
cannot be opened.
)";

/// Where the add-ins installed with the environment are: beside the
/// installed program, or in the build tree it was built in.
QStringList bundledAddInFolders() {
    const QDir here(QCoreApplication::applicationDirPath());
    const bool inBuildTree =
        here.canonicalPath() == QDir(TRAPLINE_BUILD_PROGRAM_DIR).canonicalPath();
    const QString folder = inBuildTree ? QString(TRAPLINE_BUILD_ADDINS)
                                       : here.absoluteFilePath(TRAPLINE_INSTALLED_ADDINS);
    return QDir(folder).exists() ? QStringList{QDir(folder).canonicalPath()} : QStringList{};
}

bool save(QWidget* w, const QString& dir, const QString& name) {
    if (!w)
        return false;
    w->show();
    QApplication::processEvents();
    const QString path = QDir(dir).filePath(name);
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "trapline-environment: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

QWidget* topLevel(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            return w;
    return nullptr;
}

/// Clicks `button` and pictures the modal dialog it opens, then closes it.
bool saveModal(QAbstractButton* button, const QString& dir, const QString& name) {
    if (!button)
        return false;
    bool ok = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            ok = save(modal, dir, name);
            modal->close();
        }
    });
    button->click();
    QApplication::processEvents();
    return ok;
}

/// Pictures the environment with the procedure list of the code window open:
/// the list is a window of its own, drawn over the environment's picture.
bool saveProcedureList(EnvironmentWindow& env, const QString& dir) {
    QComboBox* procedures = env.codeWindow()->procedures();
    if (procedures->count() < 2)
        return false;
    env.codeWindow()->goToProcedure(1);
    procedures->showPopup();
    QApplication::processEvents();
    QWidget* popup = procedures->view()->window();
    QPixmap picture = env.grab();
    // Below the box, as a drop-down list opens on Windows.
    QPainter(&picture).drawPixmap(procedures->mapTo(&env, QPoint(0, procedures->height())),
                                  popup->grab());
    procedures->hidePopup();
    const QString path = QDir(dir).filePath("procedures.png");
    if (!picture.save(path)) {
        std::fprintf(stderr, "trapline-environment: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

/// Runs the add-in's main job over the project, answering its questions as a
/// user who says yes, and pictures View > Changes. Nothing is saved.
bool saveChanges(EnvironmentWindow& env, QWidget* addIn, const QString& dir) {
    auto* run = addIn ? addIn->findChild<QAbstractButton*>("OKButton") : nullptr;
    if (!run)
        return false;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            QAbstractButton* yes = box->button(QMessageBox::Yes);
            (yes ? yes : box->button(QMessageBox::Ok))->click();
        }
    });
    answer.start(5);
    run->click();
    answer.stop();
    addIn->hide();
    env.refresh();
    ChangesView* changes = env.openChanges();
    changes->move(env.pos() + QPoint(60, 60));
    bool ok = save(changes, dir, "changes.png");
    changes->hide();
    return save(&env, dir, "environment-changed.png") && ok;
}

/// Pictures the window that File > Save shows while another run holds the
/// project's folder, then gives up through its Cancel: nothing is written.
bool saveWaiting(EnvironmentWindow& env, const QString& project, const QString& dir) {
    const QFileInfo info(project);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    auto held = trapline::FolderLocks::acquire({folder.toStdString()}, {});
    if (!held)
        return false;
    bool ok = false;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (QWidget* waiting = topLevel("SaveWaiting")) {
            look.stop();
            waiting->adjustSize();
            ok = save(waiting, dir, "savewaiting.png");
            if (auto* cancel = waiting->findChild<QAbstractButton*>())
                cancel->click();
        }
    });
    look.start(20);
    env.saveProject();
    return ok;
}

/// Pictures the environment with an Office document open, its modules
/// grouped as the VBA editor groups them and its first standard module shown.
int renderDocument(const QString& dir, const QString& document) {
    trapline::StderrMessageBox problems;
    EnvironmentWindow env(&problems);
    if (!env.openProject(document)) {
        std::fprintf(stderr, "trapline-environment: %s: nothing to render\n", qPrintable(document));
        return 2;
    }
    for (QTreeWidgetItemIterator it(env.explorer()); *it; ++it)
        if ((*it)->text(0) == "Modules" && (*it)->childCount() > 0) {
            env.explorer()->setCurrentItem((*it)->child(0));
            break;
        }
    return save(&env, dir, "environment-document.png") ? 0 : 1;
}

/// Renders each window with the example project open and the bundled
/// add-ins registered for a first-time user; and with `document`, the
/// environment with that document open.
int render(const QString& dir, const QString& project, const QString& document) {
    QDir().mkpath(dir);
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", scratch.path().toLocal8Bit());
    // Nobody is there to answer a message box: problems go to stderr.
    trapline::StderrMessageBox problems;
    EnvironmentWindow env(&problems);
    if (!env.openProject(project) || env.workspace().entries().empty()) {
        std::fprintf(stderr, "trapline-environment: %s: nothing to render\n", qPrintable(project));
        return 2;
    }
    env.startAddIns(bundledAddInFolders());
    bool ok = save(&env, dir, "environment.png");
    ok = saveProcedureList(env, dir) && ok;
    AddInManager* manager = env.openAddInManager();
    ok = save(manager, dir, "addinmanager.png") && ok;
    manager->close();
    QAction* trapline = nullptr;
    for (QAction* a : env.standardBar()->actions())
        if (a->text() == "TRAPLINE")
            trapline = a;
    if (!trapline) {
        std::fprintf(stderr, "trapline-environment: the TRAPLINE add-in is not loaded\n");
        return 1;
    }
    trapline->trigger();
    QApplication::processEvents();
    QWidget* addIn = topLevel("frmAddIn");
    if (addIn)
        addIn->move(40, 40);
    ok = save(addIn, dir, "addin.png") && ok;
    QWidget* tip = nullptr;
    for (QWidget* w : addIn ? addIn->findChildren<QWidget*>() : QList<QWidget*>())
        if (w->isWindow() && w->isVisible() && w->objectName() == "frmTip")
            tip = w;
    ok = save(tip, dir, "tip.png") && ok;
    if (addIn) {
        ok = saveModal(addIn->findChild<QAbstractButton*>("cmdAbout"), dir, "about.png") && ok;
        ok = saveModal(addIn->findChild<QAbstractButton*>("cmdEdit"), dir, "dialog.png") && ok;
        ok = saveModal(addIn->findChild<QAbstractButton*>("cmdLoadFromFile"), dir,
                       "templatefile.png") &&
             ok;
    }
    ok = saveChanges(env, addIn, dir) && ok;
    ok = saveWaiting(env, project, dir) && ok;
    if (!document.isEmpty()) {
        const int rendered = renderDocument(dir, document);
        if (rendered == 2)
            return 2;
        ok = rendered == 0 && ok;
    }
    return ok ? 0 : 1;
}

/// Prints the registered add-ins for scripts.
int listAddIns() {
    vbide::AddInRegistry registry;
    auto entries = registry.entries();
    if (!entries) {
        std::fprintf(stderr, "trapline-environment: %s: %s\n", entries.error().source.c_str(),
                     entries.error().description.c_str());
        return 2;
    }
    for (const auto& e : *entries)
        std::printf("%s\t%s\t%s\t%s\n", e.progId.c_str(), e.value("FriendlyName").c_str(),
                    e.value("Description").c_str(), e.value("LoadBehavior").c_str());
    return 0;
}

/// What the command line asks for, read before the application exists:
/// without a display, Qt ends the process before it could say what is wrong.
struct Request {
    enum Kind { Open, Render, List, Help, Version, Bad } kind = Open;
    QStringList args; ///< ours, Qt's own options left out
    std::string problem;
    bool platformGiven = false; ///< -platform names where to draw, display or not
};

/// The name of `arg` when it is one of Qt's own options (with one dash or
/// two, some with "=value"), which the application takes out of the
/// arguments itself; those in the first list take the next argument as their
/// value.
std::optional<std::string> qtOption(const char* arg, bool& takesValue) {
    static const char* const withValue[] = {
        "platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
        "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",
        "style",       "stylesheet",         "title",         "name",    "qmljsdebugger"};
    static const char* const flags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
    std::string name = arg + (std::strncmp(arg, "--", 2) == 0 ? 2 : 1);
    const size_t eq = name.find('=');
    const bool hasValue = eq != std::string::npos;
    name = name.substr(0, eq);
    for (const char* option : withValue)
        if (name == option) {
            takesValue = !hasValue;
            return name;
        }
    for (const char* option : flags)
        if (name == option && !hasValue) {
            takesValue = false;
            return name;
        }
    return std::nullopt;
}

Request parse(int argc, char** argv) {
    Request r;
    int verbatim = 0; // DIR and PROJECT of --render are taken as they are
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        bool takesValue = false;
        if (verbatim > 0) {
            --verbatim;
        } else if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
            return {Request::Help, {}, ""};
        } else if (std::strcmp(arg, "--version") == 0) {
            return {Request::Version, {}, ""};
        } else if (std::strcmp(arg, "--render") == 0) {
            verbatim = 2;
        } else if (arg[0] == '-' && arg[1] != '\0' && std::strcmp(arg, "--addins") != 0) {
            auto option = qtOption(arg, takesValue);
            if (!option)
                return {Request::Bad, {}, std::string("unknown option ") + arg};
            r.platformGiven = r.platformGiven || *option == "platform";
            i += takesValue ? 1 : 0;
            continue;
        }
        r.args << QString::fromLocal8Bit(arg);
    }
    const bool rendering = !r.args.isEmpty() && r.args.front() == "--render";
    const bool listing = !r.args.isEmpty() && r.args.front() == "--addins";
    if (rendering && r.args.size() < 3)
        return {Request::Bad, {}, "--render needs DIR and PROJECT"};
    const qsizetype allowed = rendering ? 4 : 1;
    if (r.args.size() > allowed)
        return {Request::Bad, {}, "unexpected argument " + r.args[allowed].toStdString()};
    r.kind = rendering ? Request::Render : listing ? Request::List : Request::Open;
    return r;
}

/// Qt ends the process when it finds no display: say so first, and how to
/// do without one.
bool hasDisplay(const Request& request) {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && *value)
            return true;
    return request.platformGiven;
}

} // namespace

int main(int argc, char** argv) {
    trapline::SignalCleanup::install();
    const Request request = parse(argc, argv);
    switch (request.kind) {
    case Request::Help:
        std::fputs(kUsage, stdout);
        return 0;
    case Request::Version:
        std::puts("trapline-environment " TRAPLINE_VERSION);
        return 0;
    case Request::Bad:
        std::fprintf(stderr, "trapline-environment: %s\nTry 'trapline-environment --help'.\n",
                     request.problem.c_str());
        return 2;
    case Request::List:
        return listAddIns();
    default:
        break;
    }
    if (!hasDisplay(request)) {
        std::fputs("trapline-environment: no display (DISPLAY is not set); --render works "
                   "without one with QT_QPA_PLATFORM=offscreen\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("TRAPLINE Environment");
    if (request.kind == Request::Render)
        return render(request.args[1], request.args[2], request.args.value(3));
    EnvironmentWindow window;
    window.show();
    window.startAddIns(bundledAddInFolders());
    if (!request.args.isEmpty())
        window.openProject(request.args.front());
    return QApplication::exec();
}
