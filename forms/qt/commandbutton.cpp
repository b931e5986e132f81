#include "qtforms.h"

#include <QIcon>
#include <QKeyEvent>
#include <QPixmap>
#include <QPushButton>

namespace forms {
namespace {

/// A button that Enter presses while it has the focus, as a focused button
/// of a VB form is. It is no Qt auto-default button: a dialog would make the
/// first of those its default, drawn as one, where the form named none.
class Button : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    /// Its '&' letter with Alt takes the focus and clicks at once, as a VB
    /// button's accelerator does; Qt's own would click a moment later,
    /// after an animation, and leave the focus where it was.
    bool event(QEvent* event) override {
        if (event->type() == QEvent::Shortcut && isEnabled()) {
            setFocus(Qt::ShortcutFocusReason);
            click();
            return true;
        }
        return QPushButton::event(event);
    }

    void keyPressEvent(QKeyEvent* event) override {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        const Qt::KeyboardModifiers m = event->modifiers() & ~Qt::KeypadModifier;
        if (enter && m == Qt::NoModifier) {
            click();
            return;
        }
        QPushButton::keyPressEvent(event);
    }
};

} // namespace

CommandButton::CommandButton(Control& parent, std::string name, Rect twips,
                             const std::string& caption)
    : Control(parent, std::move(name), twips, qt::make<Button>(parent, qt::text(caption))) {
    auto* button = qt::widget<QPushButton>(*this);
    button->setObjectName(qt::text(Name()));
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, [this] { Click(); });
    qt::watchFocusAndKeys(*this);
}

std::string CommandButton::Caption() const {
    return qt::text(qt::widget<QPushButton>(*this)->text());
}

void CommandButton::setDefault(bool isDefault) {
    qt::widget<QPushButton>(*this)->setDefault(isDefault);
}

void CommandButton::setCancel(bool isCancel) {
    // The form presses its cancel button when Esc reaches it.
    m_cancel = isCancel;
}

void CommandButton::setPicture(const std::string& picture) {
    // Drawn at its own size, as VB draws a button's picture.
    const QPixmap pixmap(qt::picturePath(picture));
    auto* button = qt::widget<QPushButton>(*this);
    button->setIcon(QIcon(pixmap));
    if (!pixmap.isNull())
        button->setIconSize(pixmap.size());
}

void CommandButton::setValue(bool pressed) {
    if (pressed)
        qt::widget<QPushButton>(*this)->click();
}

} // namespace forms
