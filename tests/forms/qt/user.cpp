// The test user on the Qt side: mouse clicks and key presses go to the
// widgets as events, so that the widgets' own handling (a disabled button
// ignores the click, a dialog's Esc finds its cancel button) runs as for a
// person.

#include "../user.h"

#include "qtforms.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QTest>
#include <QTimer>

namespace user {
namespace {

Qt::KeyboardModifiers modifiers(int shift) {
    Qt::KeyboardModifiers m;
    if (shift & forms::vbShiftMask)
        m |= Qt::ShiftModifier;
    if (shift & forms::vbCtrlMask)
        m |= Qt::ControlModifier;
    if (shift & forms::vbAltMask)
        m |= Qt::AltModifier;
    return m;
}

/// The Qt key for VB's key code: the inverse of the side's own mapping.
Qt::Key qtKey(int vbKeyCode) {
    for (int key : {Qt::Key_Backspace, Qt::Key_Tab, Qt::Key_Return, Qt::Key_Escape, Qt::Key_Space,
                    Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Home, Qt::Key_Left,
                    Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_Insert, Qt::Key_Delete,
                    Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt})
        if (forms::qt::vbKeyCode(key) == vbKeyCode)
            return static_cast<Qt::Key>(key);
    if (vbKeyCode >= 112 && vbKeyCode < 112 + 16)
        return static_cast<Qt::Key>(Qt::Key_F1 + (vbKeyCode - 112));
    return static_cast<Qt::Key>(vbKeyCode); // digits and capitals are their own codes
}

/// Where a key pressed in `control` goes: a form passes it to the control
/// with the focus. The window is made the active one first, as the user's
/// typing into it would have made it; offscreen nothing else does.
QWidget* keyTarget(forms::Control& control) {
    QWidget* w = forms::qt::widget(control);
    QApplication::setActiveWindow(w->window());
    if (&control == &control.form() && w->focusWidget())
        return w->focusWidget();
    return w;
}

void clickAt(QWidget* w, QPoint at) {
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at);
    settle();
}

} // namespace

void click(forms::CommandButton& button) {
    QWidget* w = forms::qt::widget(button);
    clickAt(w, w->rect().center());
}

void click(forms::CheckBox& box) {
    // On the box itself: a wide control's middle may be past its caption.
    QWidget* w = forms::qt::widget(box);
    clickAt(w, QPoint(6, w->height() / 2));
}

void click(forms::Label& label) {
    QWidget* w = forms::qt::widget(label);
    clickAt(w, w->rect().center());
}

void type(forms::TextBox& box, const std::string& text) {
    QWidget* w = forms::qt::widget(box);
    const QString typed = QString::fromStdString(text).replace("\r\n", "\n");
    for (QChar c : typed) {
        if (c == '\n') {
            QTest::keyClick(w, Qt::Key_Return);
        } else {
            const QChar upper = c.toUpper();
            const Qt::Key key =
                upper.unicode() < 128 ? static_cast<Qt::Key>(upper.unicode()) : Qt::Key_unknown;
            QTest::sendKeyEvent(QTest::Click, w, c == '\t' ? Qt::Key_Tab : key, QString(c),
                                Qt::NoModifier);
        }
    }
    settle();
}

void press(forms::Control& control, int vbKeyCode, int shift) {
    QTest::keyClick(keyTarget(control), qtKey(vbKeyCode), modifiers(shift));
    settle();
}

void openList(forms::ComboBox& box) {
    forms::qt::widget<QComboBox>(box)->showPopup();
    settle();
}

void choose(forms::ComboBox& box, int index) {
    auto* combo = forms::qt::widget<QComboBox>(box);
    combo->hidePopup();
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index);
    settle();
}

void close(forms::Form& form) {
    forms::qt::widget(form)->close();
    settle();
}

void soon(std::function<void()> action) {
    QTimer::singleShot(0, qApp, std::move(action));
}

void settle() {
    QApplication::sendPostedEvents();
    QApplication::processEvents();
}

} // namespace user
