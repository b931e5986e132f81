#include "templatekeys.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QWidget>

TemplateKeys::TemplateKeys(QWidget* window, QAbstractButton* defaultButton,
                           QAbstractButton* cancelButton)
    : QObject(window), m_default(defaultButton), m_cancel(cancelButton) {
    window->installEventFilter(this);
    for (QWidget* child : window->findChildren<QWidget*>())
        child->installEventFilter(this);
}

bool TemplateKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape) {
        m_cancel->click();
        return true;
    }
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if (key->modifiers() & Qt::ControlModifier) {
        if (auto* box = qobject_cast<QPlainTextEdit*>(watched); box && !box->isReadOnly()) {
            box->textCursor().insertText("\n");
            return true;
        }
        return false;
    }
    // A focused push button is pressed by Enter, as in VB; check boxes,
    // text and combo boxes leave Enter to the default button.
    if (auto* button = qobject_cast<QAbstractButton*>(watched);
        button && !button->isCheckable() && button->isEnabled()) {
        button->click();
        return true;
    }
    m_default->click();
    return true;
}
