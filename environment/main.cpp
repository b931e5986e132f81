// The TRAPLINE environment: opens a VB6 project, hosts the add-in window and
// saves the result.
//
//   trapline-environment [PROJECT]
//   trapline-environment --render DIR PROJECT   (pictures of every window, as PNG)

#include "environmentwindow.h"
#include "f_dialog.h"
#include "frmabout.h"
#include "frmaddin.h"
#include "frmtip.h"
#include "qtmessagebox.h"
#include "registrylookup.h"
#include "settingsstore.h"

#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

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
    // The pictures show the windows as a first start does.
    EnvironmentWindow env(settings, scratch.path());
    if (!env.openProject(project))
        return 2;
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
    QApplication app(argc, argv);
    QApplication::setApplicationName("TRAPLINE Environment");
    const QStringList args = QApplication::arguments().mid(1);
    if (args.size() == 3 && args[0] == "--render")
        return render(args[1], args[2]);
    SettingsStore settings;
    EnvironmentWindow window(settings, QApplication::applicationDirPath());
    if (!args.isEmpty())
        window.openProject(args.front());
    window.show();
    return QApplication::exec();
}
