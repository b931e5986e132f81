#pragma once

#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <set>

class AddInHost;
class AddInManager;
class ChangesView;
class CodeWindow;
class EnvironmentVBE;
class ProjectExplorer;
class QAction;
class QLabel;
class QMenu;
class QMimeData;
class QPlainTextEdit;
class QTreeWidgetItem;
class QTimer;
class QToolBar;
class QtMessageBox;
class Workspace;
namespace trapline {
class Component;
class MessageBoxService;
} // namespace trapline
namespace vbide {
class AddInRegistry;
}

/// Our stand-in for the VB6 development environment: it opens projects from
/// disk, shows them in a project explorer and their components' code, offers its command bars to
/// add-ins, loads the registered add-ins (Add-Ins > Add-In Manager…) and
/// saves the changed files. It knows add-ins only through their registration
/// and the object model they are given.
class EnvironmentWindow : public QMainWindow {
    Q_OBJECT
public:
    /// `messages` answers the environment's message boxes; without one they
    /// are shown as dialogs. `registryPath` is the add-in registry (empty:
    /// the user's own).
    explicit EnvironmentWindow(trapline::MessageBoxService* messages = nullptr,
                               const QString& registryPath = {}, QWidget* parent = nullptr);
    ~EnvironmentWindow() override;

    /// Opens a .vbp, .vbg, folder, module file or Office document; problems
    /// are shown and the rest still opens. False when nothing could be opened.
    bool openProject(const QString& path) { return openPaths({path}); }
    /// Opens what `paths` name in place of the open projects (see Workspace),
    /// asking first to save unsaved changes. False when nothing was opened
    /// (the user cancelled, or nothing could be used): the open projects stay.
    bool openPaths(const QStringList& paths);
    /// Writes every changed file of every open project; false (with a
    /// message) when one could not be. An Office document is written whole
    /// and then read again as written (its modules' undo starts anew); one
    /// that may not be written (open in another program, changed on disk)
    /// is named with the reason, and its changes stay unsaved.
    bool saveProject();
    bool isModified() const;

    /// Registers the add-ins in `bundledFolders` never offered before, then
    /// connects those to load on start-up: what the environment does as it starts.
    void startAddIns(const QStringList& bundledFolders);
    /// Opens the Add-In Manager (window-modal, returns at once).
    AddInManager* openAddInManager();
    /// View > Changes: the unsaved changes of every module as a diff, kept
    /// up to date while it is open.
    ChangesView* openChanges();

    EnvironmentVBE& vbe() const { return *m_vbe; }
    AddInHost& addIns() const { return *m_addIns; }
    ProjectExplorer* explorer() const { return m_explorer; }
    const Workspace& workspace() const { return *m_workspace; }
    CodeWindow* codeWindow() const { return m_codeWindow; }
    QPlainTextEdit* codeView() const;
    /// File > Recent Projects, filled as it opens.
    QMenu* recentMenu() const { return m_recentMenu; }
    /// The paths a drag carries that the environment can open (.vbp, .vbg,
    /// folders, module files, Office documents); empty when it carries anything else.
    static QStringList openablePaths(const QMimeData* data);
    /// The kinds of file File > Open offers, as name filters of its dialog.
    static QStringList openFilters();
    /// The status bar's "Ln 12, Col 5".
    QLabel* caretPosition() const { return m_caret; }
    QToolBar* standardBar() const { return m_standard; }
    QAction* undoAction() const { return m_undo; }
    QAction* redoAction() const { return m_redo; }

    /// Project > Add Line Numbers (`add`) or Remove Line Numbers: asks
    /// whether for the module shown or the whole active project, then
    /// numbers or unnumbers every procedure there as one undo step of each
    /// module changed; the procedures left alone are named in a message.
    void lineNumbers(bool add);

    /// Takes what add-ins changed since the last user action as one undo step
    /// of each module they changed. Done before every click and key; public
    /// for callers that change the code model other ways.
    void checkpoint();

public slots:
    /// Shows the code model as it is now (add-ins change it behind our back).
    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildMenus();
    void currentChanged(QTreeWidgetItem* item);
    void showComponent(trapline::Component* component);
    /// Asks to save unsaved changes; false when the user cancels (or the save fails).
    bool askToSave(const std::string& question);
    void openDialog();
    void openFolderDialog();
    void fillRecentMenu();
    /// After the code window changed `component`.
    void edited(trapline::Component* component);
    void showState();
    /// After a save: reads again each document written, keeping the active
    /// project and the module shown. Problems are added to `problems`.
    void rereadSavedDocuments(QStringList& problems);
    void updateEditActions();

    std::unique_ptr<EnvironmentVBE> m_vbe;
    std::unique_ptr<QtMessageBox> m_ownMessages;
    trapline::MessageBoxService* m_messages;
    std::unique_ptr<vbide::AddInRegistry> m_registry;
    std::unique_ptr<AddInHost> m_addIns;
    std::unique_ptr<Workspace> m_workspace;
    ProjectExplorer* m_explorer;
    CodeWindow* m_codeWindow;
    QLabel* m_caret;
    QToolBar* m_standard = nullptr;
    QMenu* m_recentMenu = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    QPointer<ChangesView> m_changes;
    QTimer* m_changesLater = nullptr;
    trapline::Component* m_shown = nullptr;
    /// Components whose file could not be read when shown: said only once.
    std::set<const trapline::Component*> m_unreadable;
    /// Of the code model as last shown, to notice an add-in's change.
    size_t m_fingerprint = 0;
};
