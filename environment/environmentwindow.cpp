#include "environmentwindow.h"

#include "addinhost.h"
#include "addinmanager.h"
#include "addinregistry.h"
#include "environmentvbe.h"
#include "projectloader.h"
#include "qtmessagebox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
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
      m_addIns(std::make_unique<AddInHost>(*m_vbe, *m_registry, *m_messages)) {
    setObjectName("EnvironmentWindow");
    setWindowTitle("TRAPLINE Environment");
    resize(900, 600);

    auto* split = new QSplitter(this);
    m_components = new QListWidget(split);
    m_components->setObjectName("Components");
    m_code = new QPlainTextEdit(split);
    m_code->setObjectName("Code");
    m_code->setReadOnly(true);
    m_code->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    m_code->setFont(mono);
    split->setStretchFactor(1, 3);
    setCentralWidget(split);
    connect(m_components, &QListWidget::currentRowChanged, this, &EnvironmentWindow::showComponent);
    buildMenus();
    statusBar()->showMessage("No project");

    // An add-in changes the code model directly; a cheap look now and then
    // keeps what is shown up to date.
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this] {
        trapline::Project* project = m_vbe->ActiveVBProject();
        const int row = m_components->currentRow();
        if (project && row >= 0 && row < project->VBComponents().Count() &&
            (*project->VBComponents().Item(row + 1))->CodeModule().CountOfLines() != m_shownLines)
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
    QAction* exit = file->addAction("E&xit", QKeySequence::Quit, this, &QWidget::close);
    for (QAction* a : {open, openFolder, save, exit})
        fileBar->adopt(a);
    menu("&Edit", "Edit");
    auto [view, viewBar] = menu("&View", "View");
    QAction* reload = view->addAction(s->standardIcon(QStyle::SP_BrowserReload), "&Refresh",
                                      QKeySequence::Refresh, this, &EnvironmentWindow::refresh);
    viewBar->adopt(reload);
    menu("&Project", "Project");
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
    QSettings offered(QSettings::IniFormat, QSettings::UserScope, "trapline", "environment");
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

bool EnvironmentWindow::openProject(const QString& path) {
    trapline::ProjectLoader loader;
    auto project = loader.load({path.toStdString()});
    QStringList problems;
    for (const trapline::Diagnostic& d : loader.diagnostics())
        problems << QString::fromStdString(d.text());
    if (!problems.isEmpty())
        m_messages->show(problems.join("\n").toStdString(), "TRAPLINE Environment",
                         trapline::MsgIcon::Exclamation, trapline::MsgButtons::Ok);
    if (!project)
        return false;
    m_vbe->setActiveVBProject(std::move(*project));
    setWindowTitle("TRAPLINE Environment - " + QFileInfo(path).fileName());
    refresh();
    return true;
}

void EnvironmentWindow::openDialog() {
    QFileDialog dialog(this, "Open Project");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(
        {"VB projects (*.vbp *.vbg)", "VB modules (*.bas *.cls *.frm *.ctl)", "All files (*)"});
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
    const int row = m_components->currentRow();
    QSignalBlocker quiet(m_components);
    m_components->clear();
    trapline::Project* project = m_vbe->ActiveVBProject();
    if (!project) {
        m_code->clear();
        return;
    }
    const auto& list = project->VBComponents();
    for (long i = 1; i <= list.Count(); ++i) {
        trapline::Component* c = *list.Item(i);
        QString name = QString::fromStdString(project->codepage().toUtf8(c->Name()));
        m_components->addItem((c->needsSave() ? "* " : "") + name + "  (" +
                              QFileInfo(QString::fromStdString(c->path())).fileName() + ")");
    }
    m_components->setCurrentRow(row >= 0 && row < m_components->count() ? row : 0);
    showComponent(m_components->currentRow());
    statusBar()->showMessage(isModified() ? "Modified" : "Saved");
}

void EnvironmentWindow::showComponent(int row) {
    trapline::Project* project = m_vbe->ActiveVBProject();
    if (!project || row < 0 || row >= project->VBComponents().Count()) {
        m_code->clear();
        m_shownLines = -1;
        return;
    }
    auto item = project->VBComponents().Item(row + 1);
    const trapline::CodeModule& code = (*item)->CodeModule();
    QStringList lines;
    for (long l = 1; l <= code.CountOfLines(); ++l)
        lines << QString::fromStdString(project->codepage().toUtf8(code.line(l)));
    m_code->setPlainText(lines.join("\n"));
    m_shownLines = code.CountOfLines();
}

bool EnvironmentWindow::isModified() const {
    trapline::Project* project = m_vbe->ActiveVBProject();
    if (!project)
        return false;
    for (long i = 1; i <= project->VBComponents().Count(); ++i)
        if ((*project->VBComponents().Item(i))->needsSave())
            return true;
    return false;
}

bool EnvironmentWindow::saveProject() {
    trapline::Project* project = m_vbe->ActiveVBProject();
    if (!project)
        return true;
    std::vector<trapline::Error> problems = project->save();
    QStringList text;
    for (const trapline::Error& e : problems)
        text << QString::fromStdString(e.source + ": " + e.description);
    if (!text.isEmpty())
        m_messages->show(text.join("\n").toStdString(), "TRAPLINE Environment",
                         trapline::MsgIcon::Critical, trapline::MsgButtons::Ok);
    refresh();
    return problems.empty();
}

void EnvironmentWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        refresh();
    QMainWindow::changeEvent(event);
}

void EnvironmentWindow::closeEvent(QCloseEvent* event) {
    refresh();
    if (isModified()) {
        auto answer =
            m_messages->show("Save the changed modules before closing?", "TRAPLINE Environment",
                             trapline::MsgIcon::Question, trapline::MsgButtons::YesNoCancel);
        if (answer == trapline::MsgAnswer::Cancel ||
            (answer == trapline::MsgAnswer::Yes && !saveProject())) {
            event->ignore();
            return;
        }
    }
    m_addIns->shutdown();
    event->accept();
}
