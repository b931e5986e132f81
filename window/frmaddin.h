#pragma once

#include "addinconnect.h"
#include "templatefiles.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class DropDownCombo;
class QCheckBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class RegistryLookup;
class SettingsStore;
class f_Dialog;
class frmTip;
namespace trapline {
class MessageBoxService;
class VBE;
} // namespace trapline

/// The add-in's tool window: choose modules and procedures, set the options,
/// edit the templates, insert, and read the log.
class frmAddIn : public QWidget {
    Q_OBJECT
public:
    /// What the window needs of its surroundings.
    struct Services {
        trapline::MessageBoxService& messages;
        SettingsStore& settings;
        RegistryLookup& registry;
        /// Starts a program (the About box's System Information); false on failure.
        std::function<bool(const QString&)> startProgram;
        /// The folder of the add-in's own library, where the tips file lives.
        QString addInFolder;
    };

    /// Creates the window and runs its loading sequence.
    frmAddIn(trapline::VBE* VBInstance, Services services, QWidget* parent = nullptr);
    ~frmAddIn() override;

    trapline::VBE* VBInstance;
    /// The connection that shows this window; null when the window stands alone.
    AddInConnect* Connect = nullptr;

    QString ActiveText() const { return m_activeText; }
    void setActiveText(const QString& vNewValue);

    /// Edits `TextVal` in the text input dialog; `Success` tells whether it was confirmed.
    QString EditText(const QString& TextVal, bool& Success);

    /// The tips file: the add-in's folder and "TIPOFDAY.TXT".
    QString tipsFile() const;
    /// The tip window while it is loaded, shown or hidden; null otherwise.
    frmTip* tipWindow() const;

    // Controls, named as in the window's design.
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6;
    DropDownCombo *MdlName, *SubName;
    QCheckBox *OnlyFunc, *OnlySub, *OnlyProperty, *HasOnError, *WithComment, *DefaultTXT;
    QToolButton *cmdEdit, *cmdLoadFromFile, *cmdSaveToFile, *cmdUndo, *cmdTab;
    QPushButton *cmdModule, *cmdProc, *cmdClear, *bttn_InsCode;
    QFrame* TextBorder;
    QPlainTextEdit *Header, *Footer, *DebugTxt;
    QToolButton *OKButton, *CancelButton, *cmdTips, *cmdAbout;

    /// The shared text input dialog, made on first use.
    f_Dialog& dialog();

signals:
    /// The project's code changed (an insertion run, the error module added).
    void projectChanged();

public slots:
    void OKButton_Click();
    void CancelButton_Click();
    void cmdTips_Click();
    void cmdAbout_Click();
    void cmdClear_Click();
    void SubName_DropDown();
    void cmdModule_Click();
    void cmdProc_Click();
    void cmdTab_Click();
    void cmdUndo_Click();
    void cmdEdit_Click();
    void cmdLoadFromFile_Click();
    void cmdSaveToFile_Click();
    void bttn_InsCode_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void ensureTipsFile();
    void showTips();
    QPlainTextEdit* activeBox() const;
    void replaceSelection(const QString& text);

    Services m_services;
    QString m_activeText;
    std::unique_ptr<f_Dialog> m_dialog;
    TemplateFiles m_templateFiles;
    std::unique_ptr<frmTip> m_tip;
};
