#pragma once

#include "ctextboxml.h"

#include <QDialog>

class QFrame;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class TemplateFiles;

/// "Диалог ввода текста": one template text in a larger, resizable box.
class f_Dialog : public QDialog {
    Q_OBJECT
public:
    explicit f_Dialog(QWidget* owner = nullptr);

    /// Set by OK (true) and by Cancel or the window frame (false).
    bool Confirmed = false;
    /// The text when OK was pressed.
    QString ResultText;
    CTextBoxML TxtML;
    /// Where the load and save buttons keep templates; they do nothing without it.
    TemplateFiles* Files = nullptr;

    QToolButton* cmdLoadFromFile;
    QToolButton* cmdSaveToFile;
    QToolButton* cmdUndo;
    QToolButton* cmdTab;
    QPushButton* cmdModule;
    QPushButton* cmdProc;
    QPlainTextEdit* TXT;
    QFrame* frCmd;
    QPushButton* OKButton;
    QPushButton* CancelButton;

    /// The smallest outer size the layout rule allows.
    static QSize minimumOuterSize();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void replaceSelection(const QString& text);
};
