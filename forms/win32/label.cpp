#include "win32forms.h"

namespace forms {

Label::Label(Control& parent, std::string name, Rect twips, const std::string& caption)
    : Control(parent, std::move(name), twips,
              win32::make(parent, L"STATIC", SS_LEFT | SS_NOTIFY, 0, caption)) {
    native().command = [this](WORD code) {
        if (code == STN_CLICKED)
            Click();
    };
    // For the hand over a link.
    win32::watchFocusAndKeys(*this);
}

std::string Label::Caption() const {
    return win32::windowText(win32::hwnd(*this));
}

void Label::setCaption(const std::string& caption) {
    SetWindowTextW(win32::hwnd(*this), win32::wide(caption).c_str());
}

void Label::setWordWrap(bool wrap) {
    // SS_LEFT wraps at the label's width; SS_LEFTNOWORDWRAP keeps one line.
    HWND w = win32::hwnd(*this);
    const LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE) & ~static_cast<LONG_PTR>(SS_TYPEMASK);
    SetWindowLongPtrW(w, GWL_STYLE, style | (wrap ? SS_LEFT : SS_LEFTNOWORDWRAP));
    InvalidateRect(w, nullptr, TRUE);
}

void Label::setBackColor(Color color) {
    m_back = color;
    Native& n = native();
    n.back = color;
    if (n.backBrush)
        DeleteObject(n.backBrush);
    n.backBrush = color == kSystemColor ? nullptr : CreateSolidBrush(win32::colorRef(color));
    InvalidateRect(n.hwnd, nullptr, TRUE);
}

void Label::setForeColor(Color color) {
    m_fore = color;
    native().fore = color;
    InvalidateRect(native().hwnd, nullptr, TRUE);
}

void Label::setHandPointer(bool hand) {
    native().handCursor = hand;
}

} // namespace forms
