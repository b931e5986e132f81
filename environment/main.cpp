// The TRAPLINE environment: opens a VB6 project, hosts the add-in window and
// saves the result.

#include "environmentwindow.h"
#include "f_dialog.h"
#include "frmabout.h"
#include "frmaddin.h"
#include "frmtip.h"
#include "qtmessagebox.h"
#include "registrylookup.h"
#include "settingsstore.h"
#include "signalcleanup.h"
#include "stderrmessagebox.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>

namespace {

const char* kUsage = R"(Usage: trapline-environment [PROJECT]
       trapline-environment --render DIR PROJECT

Opens PROJECT (a .vbp, a .vbg, a folder of module files or a module file) in
the TRAPLINE environment, whose Add-Ins menu runs the TRAPLINE tool window.

  --render DIR PROJECT  write a picture of every window (the environment, the
                        tool window, the tip window, the About box and the
                        text input dialog) to PNG files in DIR, then exit;
                        with QT_QPA_PLATFORM=offscreen no display is needed
  -h, --help            show this help

Exit status of --render: 0 when every picture was written, 1 when one could
not be, 2 for bad usage or a project that cannot be opened.
)";

bool save(QWidget* w, const QString& dir, const QString& name) {
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

/// Renders each window after the example project is loaded.
int render(const QString& dir, const QString& project) {
    QDir().mkpath(dir);
    QTemporaryDir scratch;
    SettingsStore settings(scratch.filePath("settings"));
    // Nobody is there to answer a message box: problems go to stderr.
    trapline::StderrMessageBox problems;
    // The pictures show the windows as a first start does.
    EnvironmentWindow env(settings, scratch.path(), &problems);
    if (!env.openProject(project) || env.components()->count() == 0) {
        std::fprintf(stderr, "trapline-environment: %s: nothing to render\n", qPrintable(project));
        return 2;
    }
    bool ok = save(&env, dir, "environment.png");
    frmAddIn* addIn = env.showAddIn();
    addIn->move(40, 40);
    ok = save(addIn, dir, "addin.png") && ok;
    for (auto* tip : addIn->findChildren<frmTip*>())
        ok = save(tip, dir, "tip.png") && ok;
    NoRegistry registry;
    QtMessageBox messages(addIn);
    frmAbout about(registry, messages, {}, addIn);
    ok = save(&about, dir, "about.png") && ok;
    f_Dialog& dialog = addIn->dialog();
    dialog.TXT->setPlainText(addIn->Footer->toPlainText());
    ok = save(&dialog, dir, "dialog.png") && ok;
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    trapline::SignalCleanup::install();
    // Usage comes before the application, which needs a display.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    QApplication app(argc, argv);
    QApplication::setApplicationName("TRAPLINE Environment");
    // Qt has taken its own options (-platform and the like) out of these.
    const QStringList args = QApplication::arguments().mid(1);
    const bool rendering = !args.isEmpty() && args.front() == "--render";
    if ((rendering && args.size() != 3) || (!rendering && args.size() > 1) ||
        (!rendering && args.size() == 1 && args.front().startsWith('-'))) {
        std::fprintf(stderr, "trapline-environment: %s\nTry 'trapline-environment --help'.\n",
                     rendering ? "--render needs DIR and PROJECT" : "unexpected arguments");
        return 2;
    }
    if (rendering)
        return render(args[1], args[2]);
    SettingsStore settings;
    EnvironmentWindow window(settings, QApplication::applicationDirPath());
    if (!args.isEmpty())
        window.openProject(args.front());
    window.show();
    return QApplication::exec();
}
