#include "../native.h"
#include "win32forms.h"

#include <cmath>

namespace forms {

int win32::screenDpi() {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        const int d = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
        return d > 0 ? d : 96;
    }();
    return dpi;
}

int twipsToPixels(int twips) {
    return static_cast<int>(std::lround(twips * win32::screenDpi() / 1440.0));
}

int pixelsToTwips(int pixels) {
    return static_cast<int>(std::lround(pixels * 1440.0 / win32::screenDpi()));
}

Control::Native::~Native() {
    if (owner) {
        owner->children.erase(id);
        if (owner->defaultId == id)
            owner->defaultId = 0;
    }
    if (hwnd && IsWindow(hwnd)) {
        // No notification of its going reaches a control already destroyed.
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        win32::unwatch(hwnd);
        DestroyWindow(hwnd);
    }
    if (font)
        DeleteObject(font);
    if (backBrush)
        DeleteObject(backBrush);
}

void Control::NativeDeleter::operator()(Native* native) const {
    std::default_delete<Native>()(native);
}

void* Control::windowHandle() const {
    return IsWindow(m_native->hwnd) ? m_native->hwnd : nullptr;
}

bool Control::Enabled() const {
    return IsWindowEnabled(win32::hwnd(*this)) != FALSE;
}

void Control::setEnabled(bool enabled) {
    EnableWindow(win32::hwnd(*this), enabled);
}

bool Control::Visible() const {
    return (GetWindowLongPtrW(win32::hwnd(*this), GWL_STYLE) & WS_VISIBLE) != 0;
}

void Control::setVisible(bool visible) {
    ShowWindow(win32::hwnd(*this), visible ? SW_SHOWNA : SW_HIDE);
}

void Control::SetFocus() {
    ::SetFocus(win32::hwnd(*this));
}

void native::place(Control& control, Rect t) {
    const Control::Native& n = control.native();
    MoveWindow(n.hwnd, twipsToPixels(t.left), twipsToPixels(t.top), twipsToPixels(t.width),
               twipsToPixels(t.height) + n.listHeight, TRUE);
}

void native::applyTabOrder(const std::vector<Control*>& order) {
    // IsDialogMessageW tabs through siblings in z-order.
    for (size_t i = 1; i < order.size(); ++i) {
        HWND previous = win32::hwnd(*order[i - 1]), next = win32::hwnd(*order[i]);
        if (GetParent(previous) == GetParent(next))
            SetWindowPos(next, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void native::applyFont(Control& control, const StdFont& font) {
    Control::Native& n = control.native();
    HFONT made = win32::makeFont(font);
    SendMessageW(n.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
    if (n.font)
        DeleteObject(n.font);
    n.font = made;
}

namespace win32 {

std::wstring wide(const std::string& utf8) {
    // A native control reads a C string: the text ends at a NUL.
    const std::string text = utf8.substr(0, utf8.find('\0'));
    if (text.empty())
        return {};
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        size);
    return result;
}

std::string narrow(const std::wstring& utf16) {
    if (utf16.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), result.data(),
                        size, nullptr, nullptr);
    return result;
}

std::string windowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return narrow(text);
}

void setStyle(HWND window, LONG_PTR bits, bool on) {
    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    style = on ? style | bits : style & ~bits;
    SetWindowLongPtrW(window, GWL_STYLE, style);
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    InvalidateRect(window, nullptr, TRUE);
}

HMODULE resourceModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&resourceModule), &module);
    return module;
}

Control::NativePtr make(const Control& parent, const wchar_t* className, DWORD style, DWORD exStyle,
                        const std::string& text) {
    Control::Native& form = parent.form().native();
    Control::NativePtr n(std::make_unique<Control::Native>().release());
    n->id = form.nextId++;
    n->owner = &form;
    n->hwnd =
        CreateWindowExW(exStyle, className, wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0,
                        0, 0, hwnd(parent), reinterpret_cast<HMENU>(static_cast<INT_PTR>(n->id)),
                        GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(n->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(n.get()));
    SendMessageW(n->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(form.font), FALSE);
    form.children[n->id] = n.get();
    return n;
}

} // namespace win32
} // namespace forms
