#pragma once

// The Qt side's view of a control: the widget it holds. Qt code that is not
// yet written against the layer (the tool window, the environment's pictures)
// reaches a form's window through it.

#include "forms.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <vector>

class QPlainTextEdit;

struct forms::Control::Native {
    explicit Native(QWidget* w) : widget(w) {}
    ~Native() { delete widget; }
    /// Null once Qt deleted the widget with its parent.
    QPointer<QWidget> widget;
};

namespace forms::qt {

/// The widget of `control`, as its own class.
template <class W = QWidget> W* widget(const Control& control) {
    return static_cast<W*>(control.native().widget.data());
}

/// Makes the native part of a control: a `W` inside `parent`'s widget.
template <class W, class... Args> Control::NativePtr make(const Control& parent, Args&&... args) {
    return Control::NativePtr(
        std::make_unique<Control::Native>(new W(std::forward<Args>(args)..., widget(parent)))
            .release());
}

/// An owner that is a plain Qt window.
inline Form::Owner owner(QWidget* window) {
    return {nullptr, window};
}

/// Text as a native control takes it: a Windows control reads a C string,
/// so both sides end it at a NUL (the tips file ends its lines with one).
inline QString text(const std::string& utf8) {
    return QString::fromStdString(utf8.substr(0, utf8.find('\0')));
}
inline std::string text(const QString& s) {
    return s.toStdString();
}

/// A picture resource of the add-in by its file name.
QString picturePath(const std::string& picture);

/// Reports focus and keys of `control`'s widget to the control's events.
void watchFocusAndKeys(Control& control);

/// VB's key code for a Qt key; 0 for a key VB has no code for.
int vbKeyCode(int qtKey);

/// Tab stops as TextBox::SetTabStops sets them, for a Qt box of a window not
/// yet written against the layer.
void setTabStops(QPlainTextEdit* box, const std::vector<int>& dialogUnits);

} // namespace forms::qt
