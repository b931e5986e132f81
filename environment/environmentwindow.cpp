#include "environmentwindow.h"

#include "../tips/registrylookup.h"
#include "projectloader.h"
#include "qtmessagebox.h"
#include "settingsstore.h"
#include "vbe.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSplitter>
#include <QStatusBar>

EnvironmentWindow::EnvironmentWindow(SettingsStore& settings, QString addInFolder,
                                     trapline::MessageBoxService* messages, QWidget* parent)
    : QMainWindow(parent), m_settings(settings), m_addInFolder(std::move(addInFolder)),
      m_vbe(std::make_unique<trapline::VBE>()),
      m_ownMessages(messages ? nullptr : std::make_unique<QtMessageBox>(this)),
      m_messages(messages ? messages : m_ownMessages.get()),
      m_registry(std::make_unique<NoRegistry>()) {
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

    QMenu* file = menuBar()->addMenu("&File");
    file->addAction("&Open...", QKeySequence::Open, this, &EnvironmentWindow::openDialog);
    file->addAction("Open &Folder...", this, [this] {
        QFileDialog dialog(this, "Open Folder");
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            openProject(dialog.selectedFiles().front());
    });
    file->addAction("&Save", QKeySequence::Save, this, [this] { saveProject(); });
    file->addSeparator();
    file->addAction("E&xit", QKeySequence::Quit, this, &QWidget::close);
    QMenu* addIns = menuBar()->addMenu("&Add-Ins");
    addIns->setObjectName("AddInsMenu");
    // The add-in's entry is the menu's last one.
    addIns->addAction("TRAPLINE", this, [this] { showAddIn(); });
    statusBar()->showMessage("No project");
}

EnvironmentWindow::~EnvironmentWindow() {
    // The add-in window goes first: it refers to the project.
    delete m_addIn;
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
    delete m_addIn;
    m_vbe = std::make_unique<trapline::VBE>(std::move(*project));
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

void EnvironmentWindow::refresh() {
    const int row = m_components->currentRow();
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
        return;
    }
    auto item = project->VBComponents().Item(row + 1);
    const trapline::CodeModule& code = (*item)->CodeModule();
    QStringList lines;
    for (long l = 1; l <= code.CountOfLines(); ++l)
        lines << QString::fromStdString(project->codepage().toUtf8(code.line(l)));
    m_code->setPlainText(lines.join("\n"));
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

frmAddIn* EnvironmentWindow::showAddIn() {
    if (!m_addIn) {
        m_addIn = new frmAddIn(m_vbe.get(),
                               frmAddIn::Services{*m_messages, m_settings, *m_registry,
                                                  [](const QString& program) {
                                                      return QProcess::startDetached(program, {});
                                                  },
                                                  m_addInFolder},
                               this);
        connect(m_addIn, &frmAddIn::projectChanged, this, &EnvironmentWindow::refresh);
    }
    m_addIn->show();
    m_addIn->raise();
    return m_addIn;
}

void EnvironmentWindow::closeEvent(QCloseEvent* event) {
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
    event->accept();
}
