#pragma once

#include <QMainWindow>
#include <QPointer>
#include <memory>

#include "frmaddin.h"

class QListWidget;
class QPlainTextEdit;
class QtMessageBox;
class RegistryLookup;
class SettingsStore;
namespace trapline {
class MessageBoxService;
class VBE;
} // namespace trapline

/// Our stand-in for the VB6 development environment: it opens a project from
/// disk, lists its components, shows their code, hosts the add-in window
/// from its "Add-Ins" menu and saves the changed files.
class EnvironmentWindow : public QMainWindow {
    Q_OBJECT
public:
    /// `messages` answers the environment's and the add-in's message boxes;
    /// without one they are shown as dialogs.
    EnvironmentWindow(SettingsStore& settings, QString addInFolder,
                      trapline::MessageBoxService* messages = nullptr, QWidget* parent = nullptr);
    ~EnvironmentWindow() override;

    /// Opens a .vbp, .vbg, folder or module file; problems are shown and the
    /// rest still opens. False when nothing could be opened.
    bool openProject(const QString& path);
    /// Writes every changed file; false (with a message) when one could not be.
    bool saveProject();
    bool isModified() const;

    /// The add-in window, made on first use.
    frmAddIn* showAddIn();
    trapline::VBE* vbe() const { return m_vbe.get(); }

    QListWidget* components() const { return m_components; }
    QPlainTextEdit* codeView() const { return m_code; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void refresh();
    void showComponent(int row);
    void openDialog();

    SettingsStore& m_settings;
    QString m_addInFolder;
    std::unique_ptr<trapline::VBE> m_vbe;
    std::unique_ptr<QtMessageBox> m_ownMessages;
    trapline::MessageBoxService* m_messages;
    std::unique_ptr<RegistryLookup> m_registry;
    QPointer<frmAddIn> m_addIn;
    QListWidget* m_components;
    QPlainTextEdit* m_code;
};
