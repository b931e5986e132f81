#include "win32forms.h"

namespace forms {
namespace {

/// A box without a colour of its own shows its container's, as a Qt label
/// without one shows what lies behind it.
COLORREF background(HWND box) {
    for (HWND w = box; w; w = GetParent(w)) {
        const auto* n =
            reinterpret_cast<const Control::Native*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        if (n && n->back != kSystemColor)
            return win32::colorRef(n->back);
        if (n && n->form)
            break;
    }
    return GetSysColor(COLOR_BTNFACE);
}

} // namespace
Picture::Picture(Control& parent, std::string name, Rect twips)
    : Control(parent, std::move(name), twips,
              win32::make(parent, L"STATIC", SS_OWNERDRAW | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT)) {
    // The box draws itself: its colour, then its picture over it.
    native().draw = [this](const DRAWITEMSTRUCT& item) {
        const Native& n = native();
        const COLORREF back = background(n.hwnd);
        HBRUSH brush = CreateSolidBrush(back);
        FillRect(item.hDC, &item.rcItem, brush);
        DeleteObject(brush);
        if (!n.picture.empty()) {
            SIZE size{};
            if (HBITMAP bitmap = win32::loadPicture(n.picture, back, &size)) {
                HDC memory = CreateCompatibleDC(item.hDC);
                HGDIOBJ old = SelectObject(memory, bitmap);
                const int width = item.rcItem.right - item.rcItem.left;
                const int height = item.rcItem.bottom - item.rcItem.top;
                // Stretched pixel for pixel, as the Qt side scales it.
                SetStretchBltMode(item.hDC, COLORONCOLOR);
                if (n.stretch)
                    StretchBlt(item.hDC, 0, 0, width, height, memory, 0, 0, size.cx, size.cy,
                               SRCCOPY);
                else
                    BitBlt(item.hDC, 0, 0, size.cx, size.cy, memory, 0, 0, SRCCOPY);
                SelectObject(memory, old);
                DeleteDC(memory);
                DeleteObject(bitmap);
            }
        }
    };
    // The controls inside it tell it of their clicks; the form routes them.
    win32::forwardNotifications(native().hwnd);
}

void Picture::setPicture(const std::string& picture, bool stretch) {
    native().picture = picture;
    native().stretch = stretch;
    InvalidateRect(native().hwnd, nullptr, TRUE);
}

void Picture::setBackColor(Color color) {
    m_back = color;
    Native& n = native();
    n.back = color;
    if (n.backBrush)
        DeleteObject(n.backBrush);
    n.backBrush = color == kSystemColor ? nullptr : CreateSolidBrush(win32::colorRef(color));
    InvalidateRect(n.hwnd, nullptr, TRUE);
}

void Picture::setBorder(bool border) {
    m_border = border;
    win32::setStyle(native().hwnd, WS_BORDER, border);
}

} // namespace forms
