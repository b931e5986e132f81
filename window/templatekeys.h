#pragma once

#include <QObject>

class QAbstractButton;
class QPlainTextEdit;

/// Enter presses the window's default button from any of its controls, the
/// multi-line boxes included, where Ctrl+Enter types the line break instead;
/// Esc presses the cancel button.
class TemplateKeys : public QObject {
    Q_OBJECT
public:
    TemplateKeys(QWidget* window, QAbstractButton* defaultButton, QAbstractButton* cancelButton);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractButton* m_default;
    QAbstractButton* m_cancel;
};
