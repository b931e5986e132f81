#include "../native.h"
#include "qtforms.h"
#include "twips.h"
#include "windowfont.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>

namespace forms {

int twipsToPixels(int twips) {
    return ::twipsToPixels(twips);
}

int pixelsToTwips(int pixels) {
    return pixels * 15;
}

void Control::NativeDeleter::operator()(Native* native) const {
    std::default_delete<Native>()(native);
}

void showHourglass(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void* Control::windowHandle() const {
    return qt::widget(*this);
}

bool Control::Enabled() const {
    return qt::widget(*this)->isEnabled();
}

void Control::setEnabled(bool enabled) {
    qt::widget(*this)->setEnabled(enabled);
}

bool Control::Visible() const {
    return !qt::widget(*this)->isHidden();
}

void Control::setVisible(bool visible) {
    qt::widget(*this)->setVisible(visible);
}

void Control::SetFocus() {
    qt::widget(*this)->setFocus(Qt::OtherFocusReason);
}

void Control::setToolTipText(const std::string& tip) {
    qt::widget(*this)->setToolTip(qt::text(tip));
}

void native::place(Control& control, Rect t) {
    qt::widget(control)->setGeometry(twipRect(t.left, t.top, t.width, t.height));
}

void native::applyTabOrder(const std::vector<Control*>& order) {
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(qt::widget(*order[i - 1]), qt::widget(*order[i]));
}

void native::applyFont(Control& control, const StdFont& font) {
    QWidget* w = qt::widget(control);
    if (font.Name == StdFont().Name && font.Size == StdFont().Size) {
        // The windows' own font has a bitmap strike that Qt cannot embolden.
        if (font.Bold)
            useBoldWindowFont(w);
        else
            w->setFont(windowFont());
        return;
    }
    QFont f(qt::text(font.Name));
    f.setPointSizeF(font.Size);
    f.setBold(font.Bold);
    w->setFont(f);
}

namespace qt {

QString picturePath(const std::string& picture) {
    return ":/window/icons/" + text(picture);
}

int vbKeyCode(int key) {
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return key; // VB's codes for digits and letters are their capitals' ASCII
    if (key >= Qt::Key_F1 && key <= Qt::Key_F16)
        return 112 + (key - Qt::Key_F1);
    static const std::pair<int, int> named[] = {
        {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9},    {Qt::Key_Backtab, 9},  {Qt::Key_Return, 13},
        {Qt::Key_Enter, 13},    {Qt::Key_Shift, 16}, {Qt::Key_Control, 17}, {Qt::Key_Alt, 18},
        {Qt::Key_Escape, 27},   {Qt::Key_Space, 32}, {Qt::Key_PageUp, 33},  {Qt::Key_PageDown, 34},
        {Qt::Key_End, 35},      {Qt::Key_Home, 36},  {Qt::Key_Left, 37},    {Qt::Key_Up, 38},
        {Qt::Key_Right, 39},    {Qt::Key_Down, 40},  {Qt::Key_Insert, 45},  {Qt::Key_Delete, 46}};
    for (auto [qtKey, vbKey] : named)
        if (qtKey == key)
            return vbKey;
    return 0;
}

namespace {

/// Turns a widget's focus and key events into the control's events; a
/// handler that zeroes the key code or character swallows the key.
class KeyWatcher : public QObject {
public:
    KeyWatcher(Control& control, QObject* parent) : QObject(parent), m_control(control) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
            m_control.GotFocus();
        } else if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            int code = vbKeyCode(key->key());
            if (code != 0) {
                const Qt::KeyboardModifiers m = key->modifiers();
                const int shift = (m & Qt::ShiftModifier ? vbShiftMask : 0) |
                                  (m & Qt::ControlModifier ? vbCtrlMask : 0) |
                                  (m & Qt::AltModifier ? vbAltMask : 0);
                m_control.KeyDown(code, shift);
                if (code == 0)
                    return true;
            }
            const QString typed = key->text();
            if (typed.size() == 1 && typed[0].unicode() != 0x7f) {
                int ascii = typed[0].unicode();
                m_control.KeyPress(ascii);
                if (ascii == 0)
                    return true;
                if (ascii != typed[0].unicode()) {
                    // A handler that changes the character types its own;
                    // given to the widget directly, it passes no filter again.
                    QKeyEvent changed(QEvent::KeyPress, key->key(), key->modifiers(),
                                      QString(QChar(ascii)));
                    watched->event(&changed);
                    return true;
                }
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    Control& m_control;
};

} // namespace

void watchFocusAndKeys(Control& control) {
    QWidget* w = widget(control);
    w->installEventFilter(new KeyWatcher(control, w));
}

} // namespace qt
} // namespace forms
