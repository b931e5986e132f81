#include "environmentwindow.h"

#include "addinhost.h"
#include "addinmanager.h"
#include "addinregistry.h"
#include "changesview.h"
#include "codewindow.h"
#include "environmentvbe.h"
#include "linenumberer.h"
#include "officedocument.h"
#include "projectexplorer.h"
#include "projectloader.h"
#include "qtmessagebox.h"
#include "recentprojects.h"
#include "workspace.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

EnvironmentWindow::EnvironmentWindow(trapline::MessageBoxService* messages,
                                     const QString& registryPath, QWidget* parent)
    : QMainWindow(parent), m_vbe(std::make_unique<EnvironmentVBE>(this)),
      m_ownMessages(messages ? nullptr : std::make_unique<QtMessageBox>(this)),
      m_messages(messages ? messages : m_ownMessages.get()),
      m_registry(registryPath.isEmpty()
                     ? std::make_unique<vbide::AddInRegistry>()
                     : std::make_unique<vbide::AddInRegistry>(registryPath.toStdString())),
      m_addIns(std::make_unique<AddInHost>(*m_vbe, *m_registry, *m_messages)),
      m_workspace(std::make_unique<Workspace>()) {
    setObjectName("EnvironmentWindow");
    setWindowTitle("TRAPLINE Environment");
    resize(900, 600);
    setAcceptDrops(true);

    auto* split = new QSplitter(this);
    m_explorer = new ProjectExplorer(split);
    m_codeWindow = new CodeWindow(split);
    split->setStretchFactor(1, 3);
    setCentralWidget(split);
    connect(m_explorer, &QTreeWidget::currentItemChanged, this, &EnvironmentWindow::currentChanged);
    buildMenus();
    statusBar()->showMessage("No project");
    m_caret = new QLabel(this);
    m_caret->setObjectName("CaretPosition");
    statusBar()->addPermanentWidget(m_caret);
    connect(m_codeWindow, &CodeWindow::caretMoved, this, [this](int line, int column) {
        m_caret->setText(QString("Ln %1, Col %2").arg(line).arg(column));
    });
    connect(m_codeWindow, &CodeWindow::edited, this, &EnvironmentWindow::edited);
    connect(m_codeWindow, &CodeWindow::refused, this, [this](const QString& why) {
        QApplication::beep();
        statusBar()->showMessage(why, 10000);
    });
    m_changesLater = new QTimer(this);
    m_changesLater->setSingleShot(true);
    m_changesLater->setInterval(300);
    connect(m_changesLater, &QTimer::timeout, this, [this] {
        if (m_changes && m_changes->isVisible())
            m_changes->showChanges(*m_workspace);
    });
    // Every user action begins a new undo step of each module it changes.
    qApp->installEventFilter(this);

    // An add-in changes the code model directly; a cheap look now and then
    // keeps what is shown up to date.
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this] {
        if (m_workspace->fingerprint() != m_fingerprint)
            refresh();
    });
    watch->start(500);
}

EnvironmentWindow::~EnvironmentWindow() {
    // Add-ins go first: their windows refer to the project and the bars.
    m_addIns->shutdown();
}

void EnvironmentWindow::buildMenus() {
    // Command bar 1 is the menu bar, 2 the "Standard" toolbar; menus are
    // command bars of their own, as add-ins expect.
    QtCommandBar& menus = m_vbe->addBar("Menu Bar", menuBar());
    QtCommandBar& standard = m_vbe->addBar("Standard", m_standard = addToolBar("Standard"));
    m_standard->setObjectName("Standard");
    m_standard->setIconSize(QSize(24, 24));
    m_standard->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    auto menu = [&](const QString& title, const std::string& name) {
        QMenu* m = menuBar()->addMenu(title);
        m->setObjectName(QString::fromStdString(name));
        menus.adopt(m->menuAction());
        return std::pair<QMenu*, QtCommandBar*>(m, &m_vbe->addBar(name, m));
    };
    auto [file, fileBar] = menu("&File", "File");
    QStyle* s = style();
    QAction* open = file->addAction(s->standardIcon(QStyle::SP_DialogOpenButton), "&Open...",
                                    QKeySequence::Open, this, &EnvironmentWindow::openDialog);
    QAction* openFolder =
        file->addAction(s->standardIcon(QStyle::SP_DirOpenIcon), "Open &Folder...", this,
                        &EnvironmentWindow::openFolderDialog);
    QAction* save = file->addAction(s->standardIcon(QStyle::SP_DialogSaveButton), "&Save",
                                    QKeySequence::Save, this, [this] { saveProject(); });
    file->addSeparator();
    m_recentMenu = file->addMenu("Recent &Projects");
    m_recentMenu->setObjectName("RecentProjects");
    connect(m_recentMenu, &QMenu::aboutToShow, this, &EnvironmentWindow::fillRecentMenu);
    file->addSeparator();
    QAction* exit = file->addAction("E&xit", QKeySequence::Quit, this, &QWidget::close);
    for (QAction* a : {open, openFolder, save, exit})
        fileBar->adopt(a);
    auto [edit, editBar] = menu("&Edit", "Edit");
    m_undo = edit->addAction(s->standardIcon(QStyle::SP_ArrowBack), "&Undo", QKeySequence::Undo,
                             m_codeWindow, &CodeWindow::undo);
    m_redo = edit->addAction(s->standardIcon(QStyle::SP_ArrowForward), "&Redo", QKeySequence::Redo,
                             m_codeWindow, &CodeWindow::redo);
    connect(edit, &QMenu::aboutToShow, this, &EnvironmentWindow::updateEditActions);
    edit->addSeparator();
    QAction* find = edit->addAction("&Find...", QKeySequence(Qt::CTRL | Qt::Key_F), m_codeWindow,
                                    &CodeWindow::startFind);
    QAction* findNext = edit->addAction("Find &Next", QKeySequence(Qt::Key_F3), m_codeWindow,
                                        &CodeWindow::findNext);
    for (QAction* a : {m_undo, m_redo, find, findNext})
        editBar->adopt(a);
    auto [view, viewBar] = menu("&View", "View");
    QAction* reload = view->addAction(s->standardIcon(QStyle::SP_BrowserReload), "&Refresh",
                                      QKeySequence::Refresh, this, &EnvironmentWindow::refresh);
    QAction* changes = view->addAction("&Changes", this, [this] { openChanges(); });
    viewBar->adopt(reload);
    viewBar->adopt(changes);
    auto [projectMenu, projectBar] = menu("&Project", "Project");
    QAction* number =
        projectMenu->addAction("Add &Line Numbers...", this, [this] { lineNumbers(true); });
    number->setObjectName("AddLineNumbers");
    QAction* unnumber =
        projectMenu->addAction("&Remove Line Numbers...", this, [this] { lineNumbers(false); });
    unnumber->setObjectName("RemoveLineNumbers");
    projectBar->adopt(number);
    projectBar->adopt(unnumber);
    auto [addIns, addInsBar] = menu("&Add-Ins", "Add-Ins");
    addIns->setObjectName("AddInsMenu");
    addInsBar->adopt(addIns->addAction("&Add-In Manager...", this, [this] { openAddInManager(); }));
    addIns->addSeparator();
    menu("&Help", "Help");
    for (QAction* a : {open, save, reload}) {
        m_standard->addAction(a);
        standard.adopt(a);
    }
}

void EnvironmentWindow::startAddIns(const QStringList& bundledFolders) {
    QSettings offered(RecentProjects::userFile(), QSettings::IniFormat);
    QStringList list = offered.value("BundledAddIns").toStringList();
    m_addIns->offerBundled(bundledFolders, list);
    offered.setValue("BundledAddIns", list);
    m_addIns->startup();
}

AddInManager* EnvironmentWindow::openAddInManager() {
    auto* manager = new AddInManager(*m_addIns, this);
    manager->setAttribute(Qt::WA_DeleteOnClose);
    manager->open();
    return manager;
}

ChangesView* EnvironmentWindow::openChanges() {
    if (!m_changes)
        m_changes = new ChangesView(this);
    m_changes->showChanges(*m_workspace);
    m_changes->show();
    m_changes->raise();
    return m_changes;
}

bool EnvironmentWindow::openPaths(const QStringList& paths) {
    refresh();
    if (!askToSave("Save the changed modules before opening another project?"))
        return false;
    QStringList problems;
    const bool opened = m_workspace->open(paths, problems);
    if (!problems.isEmpty())
        m_messages->show(problems.join("\n").toStdString(), "TRAPLINE Environment",
                         trapline::MsgIcon::Exclamation, trapline::MsgButtons::Ok);
    if (!opened)
        return false;
    // The explorer still lists the projects just closed: nothing of them may be touched.
    m_shown = nullptr;
    m_codeWindow->showModule(nullptr, {});
    m_codeWindow->history().clear();
    m_unreadable.clear();
    {
        QSignalBlocker quiet(m_explorer);
        m_explorer->clear();
    }
    m_vbe->setActiveVBProject(*m_workspace->startup());
    if (paths.size() == 1)
        RecentProjects().add(paths.front());
    setWindowTitle("TRAPLINE Environment - " +
                   (paths.size() == 1 ? QFileInfo(paths.front()).fileName() : QString("several")));
    refresh();
    // The first component of the active project is shown, as VB6 opens a project.
    for (QTreeWidgetItemIterator it(m_explorer); *it; ++it)
        if (ProjectExplorer::projectOf(*it) == m_vbe->ActiveVBProject() &&
            ProjectExplorer::componentOf(*it)) {
            m_explorer->setCurrentItem(*it);
            break;
        }
    return true;
}

bool EnvironmentWindow::askToSave(const std::string& question) {
    if (!isModified())
        return true;
    auto answer = m_messages->show(question, "TRAPLINE Environment", trapline::MsgIcon::Question,
                                   trapline::MsgButtons::YesNoCancel);
    return answer == trapline::MsgAnswer::No ||
           (answer == trapline::MsgAnswer::Yes && saveProject());
}

void EnvironmentWindow::fillRecentMenu() {
    m_recentMenu->clear();
    const QStringList paths = RecentProjects().list();
    for (int i = 0; i < paths.size(); ++i) {
        const QString path = paths[i];
        m_recentMenu->addAction(QString("&%1 %2").arg(i + 1).arg(path), this, [this, path] {
            // One that is gone is not offered again.
            if (!QFileInfo::exists(path))
                RecentProjects().remove(path);
            openProject(path);
        });
    }
    m_recentMenu->setEnabled(!paths.isEmpty());
}

QStringList EnvironmentWindow::openablePaths(const QMimeData* data) {
    QStringList paths;
    for (const QUrl& url : data ? data->urls() : QList<QUrl>()) {
        const QFileInfo info(url.toLocalFile());
        const QString suffix = info.suffix().toLower();
        const std::string name = info.fileName().toStdString();
        if (!url.isLocalFile() || !(info.isDir() || suffix == "vbp" || suffix == "vbg" ||
                                    trapline::ProjectLoader::typeForExtension(name) ||
                                    trapline::OfficeDocument::isDocumentPath(name)))
            return {};
        paths << info.absoluteFilePath();
    }
    return paths;
}

void EnvironmentWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!openablePaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void EnvironmentWindow::dropEvent(QDropEvent* event) {
    const QStringList paths = openablePaths(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    openPaths(paths);
}

QStringList EnvironmentWindow::openFilters() {
    return {"VB projects (*.vbp *.vbg)",
            "Office documents (*.xlsm *.xlsb *.xltm *.xlam *.xls *.docm *.dotm *.doc *.pptm "
            "*.potm *.ppsm *.ppam *.xlsx *.pptx *vbaProject.bin)",
            "VB modules (*.bas *.cls *.frm *.ctl)", "All files (*)"};
}

void EnvironmentWindow::openDialog() {
    QFileDialog dialog(this, "Open Project");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(openFilters());
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        openProject(dialog.selectedFiles().front());
}

void EnvironmentWindow::openFolderDialog() {
    QFileDialog dialog(this, "Open Folder");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        openProject(dialog.selectedFiles().front());
}

void EnvironmentWindow::refresh() {
    trapline::Project* active = m_vbe->ActiveVBProject();
    m_explorer->showWorkspace(*m_workspace, active);
    m_fingerprint = m_workspace->fingerprint();
    // The shown component stays shown, even when an add-in changed the list.
    trapline::Component* current = m_explorer->currentComponent();
    if (current != m_shown)
        m_explorer->setCurrentItem(m_explorer->itemOf(m_shown));
    showComponent(m_explorer->currentComponent());
    if (m_changes && m_changes->isVisible())
        m_changes->showChanges(*m_workspace);
    showState();
}

void EnvironmentWindow::showState() {
    statusBar()->showMessage(m_workspace->entries().empty() ? "No project"
                             : isModified()                 ? "Modified"
                                                            : "Saved");
    updateEditActions();
}

void EnvironmentWindow::edited(trapline::Component* component) {
    // Only what an edit changes is shown anew: the code window shows it
    // already, and the whole tree anew on each key would not keep up.
    m_fingerprint = m_workspace->fingerprint();
    m_explorer->markComponent(component);
    // The diff of every module is made again once typing pauses, not on each key.
    if (m_changes && m_changes->isVisible())
        m_changesLater->start();
    showState();
}

void EnvironmentWindow::updateEditActions() {
    m_undo->setEnabled(m_codeWindow->canUndo());
    m_redo->setEnabled(m_codeWindow->canRedo());
}

namespace {

/// Counts the procedures a run changed (one log line each), for the status bar.
class CountingReporter : public trapline::RunReporter {
public:
    void log(const std::string&) override { ++lines; }
    void busy(bool) override {}
    size_t lines = 0;
};

} // namespace

void EnvironmentWindow::lineNumbers(bool add) {
    const char* title = "TRAPLINE Environment";
    trapline::Project* project = m_vbe->ActiveVBProject();
    if (!project) {
        m_messages->show("No project is open.", title, trapline::MsgIcon::Information,
                         trapline::MsgButtons::Ok);
        return;
    }
    const std::string doing = add ? "Add line numbers to " : "Remove line numbers from ";
    // The module shown is offered only when it belongs to the active project.
    trapline::Component* shown =
        m_shown && ProjectExplorer::projectOf(m_explorer->itemOf(m_shown)) == project ? m_shown
                                                                                      : nullptr;
    std::vector<trapline::Component*> chosen;
    if (shown) {
        const std::string question = doing + "the module " +
                                     project->codepage().toUtf8(shown->Name()) +
                                     " only?\n\nYes: this module. No: every module of the project.";
        const trapline::MsgAnswer a = m_messages->show(question, title, trapline::MsgIcon::Question,
                                                       trapline::MsgButtons::YesNoCancel);
        if (a == trapline::MsgAnswer::Cancel)
            return;
        if (a == trapline::MsgAnswer::Yes)
            chosen.push_back(shown);
    } else if (m_messages->show(doing + "every module of the project?", title,
                                trapline::MsgIcon::Question,
                                trapline::MsgButtons::YesNo) != trapline::MsgAnswer::Yes) {
        return;
    }
    if (chosen.empty())
        for (long i = 1; i <= project->VBComponents().Count(); ++i)
            chosen.push_back(*project->VBComponents().Item(i));

    // What came before is a step of its own; the run is one step of each module.
    checkpoint();
    CountingReporter reporter;
    trapline::LineNumberer numberer(*m_vbe, *m_messages, reporter);
    trapline::InsertionOptions options;
    options.confirm = false;
    std::string left;
    for (trapline::Component* component : chosen) {
        size_t count = 0;
        const trapline::RunSummary s = numberer.run(add ? trapline::LineNumberer::Action::Number
                                                        : trapline::LineNumberer::Action::Unnumber,
                                                    *component, options, {}, count);
        for (const auto& item : s.failed)
            left += item.moduleName + "." + item.procName + ": " + item.failure + "\n";
    }
    checkpoint();
    refresh();
    if (!left.empty())
        m_messages->show("Some procedures were left as they were:\n\n" + left, title,
                         trapline::MsgIcon::Information, trapline::MsgButtons::Ok);
    statusBar()->showMessage(QString("Line numbers %1 %2 procedure(s)")
                                 .arg(add ? "added to" : "removed from")
                                 .arg(reporter.lines),
                             10000);
}

void EnvironmentWindow::checkpoint() {
    m_codeWindow->history().checkpoint(m_workspace->components());
    updateEditActions();
}

bool EnvironmentWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // Files dragged from a file manager carry their names as text too: on the
    // code they are opened, as anywhere on the window, not typed in.
    if ((type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) &&
        watched == m_codeWindow->editor()->viewport()) {
        auto* drag = static_cast<QDropEvent*>(event);
        const QStringList paths = openablePaths(drag->mimeData());
        if (!paths.isEmpty()) {
            drag->acceptProposedAction();
            if (type == QEvent::Drop)
                openPaths(paths);
            return true;
        }
    }
    // An add-in's run starts from a click or a key; its message boxes, modal,
    // are part of the run.
    if ((type == QEvent::MouseButtonPress || type == QEvent::KeyPress ||
         type == QEvent::ShortcutOverride || type == QEvent::InputMethod || type == QEvent::Drop) &&
        !QApplication::activeModalWidget()) {
        checkpoint();
        // What an add-in changed is shown before the input lands on it: a key
        // typed into the text as it was would go to the wrong line.
        if (m_workspace->fingerprint() != m_fingerprint)
            refresh();
    }
    return QMainWindow::eventFilter(watched, event);
}

void EnvironmentWindow::currentChanged(QTreeWidgetItem* item) {
    // Add-ins work on the project the programmer is looking at.
    trapline::Project* project = ProjectExplorer::projectOf(item);
    if (project && project != m_vbe->ActiveVBProject()) {
        m_vbe->setActiveVBProject(*project);
        for (int i = 0; i < m_explorer->topLevelItemCount(); ++i) {
            QTreeWidgetItem* top = m_explorer->topLevelItem(i);
            QFont font = top->font(0);
            font.setBold(ProjectExplorer::projectOf(top) == project);
            top->setFont(0, font);
        }
    }
    if (ProjectExplorer::componentOf(item))
        showComponent(ProjectExplorer::componentOf(item));
}

void EnvironmentWindow::showComponent(trapline::Component* component) {
    m_shown = component;
    // Projects open without their modules' code; a module is read the first
    // time it is shown. One that cannot be read (changed, gone, binary since
    // the project was opened) is said once and shown empty, never as code it
    // does not hold.
    if (component && !component->isLoaded()) {
        auto loaded = component->load();
        if (!loaded && m_unreadable.insert(component).second)
            m_messages->show(loaded.error().source + ": " + loaded.error().description,
                             "TRAPLINE Environment", trapline::MsgIcon::Exclamation,
                             trapline::MsgButtons::Ok);
    }
    const trapline::Project* project = ProjectExplorer::projectOf(m_explorer->itemOf(component));
    const trapline::Codepage fallback = project ? project->codepage() : trapline::Codepage();
    m_codeWindow->showModule(component, component ? component->codepage(fallback) : fallback);
    updateEditActions();
}

QPlainTextEdit* EnvironmentWindow::codeView() const {
    return m_codeWindow->editor();
}

bool EnvironmentWindow::isModified() const {
    return m_workspace->isModified();
}

bool EnvironmentWindow::saveProject() {
    // A save waits for another run of ours writing in one of its folders:
    // the user sees that and which folder, and may give up, which writes
    // nothing more.
    std::unique_ptr<QProgressDialog> waiting;
    auto wait = [&](const std::string& folder) {
        if (!waiting) {
            waiting = std::make_unique<QProgressDialog>(this);
            waiting->setObjectName("SaveWaiting");
            waiting->setWindowTitle("TRAPLINE Environment");
            waiting->setWindowModality(Qt::ApplicationModal);
            waiting->setRange(0, 0);
            waiting->setMinimumDuration(0);
            waiting->setAutoReset(false);
        }
        waiting->setLabelText("Waiting for another trapline run to finish in " +
                              QString::fromStdString(folder) + "...");
        waiting->show();
        QApplication::processEvents();
        return !waiting->wasCanceled();
    };
    QStringList text;
    bool saved = true, cancelled = false;
    for (const Workspace::Entry& e : m_workspace->entries()) {
        for (const trapline::Error& p : e.project->save(false, wait)) {
            cancelled = cancelled || p.number == trapline::errors::Cancelled;
            if (p.number != trapline::errors::Cancelled)
                text << QString::fromStdString(p.source + ": " + p.description);
            saved = false;
        }
        if (cancelled)
            break;
    }
    waiting.reset();
    rereadSavedDocuments(text);
    if (!text.isEmpty())
        m_messages->show(text.join("\n").toStdString(), "TRAPLINE Environment",
                         trapline::MsgIcon::Critical, trapline::MsgButtons::Ok);
    refresh();
    if (cancelled)
        statusBar()->showMessage("Save cancelled: what was not yet written stays unsaved", 10000);
    return saved;
}

void EnvironmentWindow::rereadSavedDocuments(QStringList& problems) {
    std::vector<const trapline::Project*> before;
    for (const Workspace::Entry& e : m_workspace->entries())
        before.push_back(e.project.get());
    const trapline::Project* active = m_vbe->ActiveVBProject();
    const trapline::Project* shownIn =
        m_shown ? ProjectExplorer::projectOf(m_explorer->itemOf(m_shown)) : nullptr;
    const std::string shownName = m_shown ? m_shown->Name() : "";
    if (!m_workspace->rereadSavedDocuments(problems))
        return;
    // The projects read again are new objects, made while the old ones still
    // lived (so never at their addresses): nothing may look at the old
    // components; the active project and the module shown move over by name.
    m_codeWindow->showModule(nullptr, {});
    m_unreadable.clear();
    for (size_t i = 0; i < before.size(); ++i) {
        trapline::Project& now = *m_workspace->entries()[i].project;
        if (&now == before[i])
            continue;
        if (before[i] == active)
            m_vbe->setActiveVBProject(now);
        if (before[i] != shownIn)
            continue;
        m_shown = nullptr;
        for (long c = 1; c <= now.VBComponents().Count(); ++c)
            if ((*now.VBComponents().Item(c))->Name() == shownName)
                m_shown = *now.VBComponents().Item(c);
    }
    checkpoint();
}

void EnvironmentWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        refresh();
    QMainWindow::changeEvent(event);
}

void EnvironmentWindow::closeEvent(QCloseEvent* event) {
    refresh();
    if (!askToSave("Save the changed modules before closing?")) {
        event->ignore();
        return;
    }
    m_addIns->shutdown();
    event->accept();
}
