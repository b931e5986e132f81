#pragma once

#include <QMainWindow>
#include <QPointer>
#include <memory>

class AddInHost;
class AddInManager;
class EnvironmentVBE;
class QListWidget;
class QPlainTextEdit;
class QToolBar;
class QtMessageBox;
namespace trapline {
class MessageBoxService;
}
namespace vbide {
class AddInRegistry;
}

/// Our stand-in for the VB6 development environment: it opens a project from
/// disk, lists its components, shows their code, offers its command bars to
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

    /// Opens a .vbp, .vbg, folder or module file; problems are shown and the
    /// rest still opens. False when nothing could be opened.
    bool openProject(const QString& path);
    /// Writes every changed file; false (with a message) when one could not be.
    bool saveProject();
    bool isModified() const;

    /// Registers the add-ins in `bundledFolders` never offered before, then
    /// connects those to load on start-up: what the environment does as it starts.
    void startAddIns(const QStringList& bundledFolders);
    /// Opens the Add-In Manager (window-modal, returns at once).
    AddInManager* openAddInManager();

    EnvironmentVBE& vbe() const { return *m_vbe; }
    AddInHost& addIns() const { return *m_addIns; }
    QListWidget* components() const { return m_components; }
    QPlainTextEdit* codeView() const { return m_code; }
    QToolBar* standardBar() const { return m_standard; }

public slots:
    /// Shows the code model as it is now (add-ins change it behind our back).
    void refresh();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildMenus();
    void showComponent(int row);
    void openDialog();
    void openFolderDialog();

    std::unique_ptr<EnvironmentVBE> m_vbe;
    std::unique_ptr<QtMessageBox> m_ownMessages;
    trapline::MessageBoxService* m_messages;
    std::unique_ptr<vbide::AddInRegistry> m_registry;
    std::unique_ptr<AddInHost> m_addIns;
    QListWidget* m_components;
    QPlainTextEdit* m_code;
    QToolBar* m_standard = nullptr;
    long m_shownLines = -1; ///< of the component shown, to notice an add-in's change
};
