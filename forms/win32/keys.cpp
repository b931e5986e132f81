// Focus, keys and the mouse pointer of a control, from its window's
// messages (a subclass); and a container that passes its children's
// notifications on to the form.
#include "win32forms.h"

#include <commctrl.h>

namespace forms::win32 {
namespace {

/// VB's Shift argument from the keyboard's state.
int shiftState() {
    return (GetKeyState(VK_SHIFT) < 0 ? vbShiftMask : 0) |
           (GetKeyState(VK_CONTROL) < 0 ? vbCtrlMask : 0) |
           (GetKeyState(VK_MENU) < 0 ? vbAltMask : 0);
}

/// Subclass ids: a control's window, and a window whose part takes the focus
/// from it (a combo box passes it on to its edit field).
constexpr UINT_PTR kWatched = 1, kPassesFocusOn = 3;

LRESULT CALLBACK keyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                         DWORD_PTR data) {
    auto& control = *reinterpret_cast<Control*>(data);
    switch (message) {
    case WM_SETFOCUS:
        if (id == kWatched)
            control.GotFocus();
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        // VB's key codes are the virtual-key codes.
        int code = static_cast<int>(wParam);
        control.KeyDown(code, shiftState());
        if (code == 0) {
            // A dropped key types nothing either: the message loop has
            // already queued the character TranslateMessage made of it. The
            // dialog-key hook stands aside: it would deliver what it sees.
            const ModalLoop hookAside;
            MSG typed{};
            const UINT first = message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
            PeekMessageW(&typed, window, first, first, PM_REMOVE);
            return 0;
        }
        wParam = static_cast<WPARAM>(code);
        break;
    }
    case WM_CHAR: {
        int ascii = static_cast<int>(wParam);
        control.KeyPress(ascii);
        if (ascii == 0)
            return 0;
        wParam = static_cast<WPARAM>(ascii);
        break;
    }
    case WM_GETDLGCODE: {
        // A multi-line edit wants every key, and answers Esc by closing its
        // window. As in a VB text box, Esc is the form's (its cancel button)
        // and Tab moves on; Ctrl+Tab still types a tab.
        LRESULT code = DefSubclassProc(window, message, wParam, lParam);
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg && msg->message == WM_KEYDOWN &&
            (msg->wParam == VK_ESCAPE || (msg->wParam == VK_TAB && GetKeyState(VK_CONTROL) >= 0)))
            code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_WANTTAB);
        return code;
    }
    case WM_SETCURSOR:
        if (hourglass()) {
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
            return TRUE;
        }
        if (control.native().handCursor) {
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

/// The control of each window that takes its keys (GetWindowSubclass is
/// no export of every comctl32 import library).
std::map<HWND, Control*>& watched() {
    static std::map<HWND, Control*> windows;
    return windows;
}

LRESULT CALLBACK forwardProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR) {
    LRESULT result = 0;
    if (route(window, message, wParam, lParam, result))
        return result;
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

void unwatch(HWND window) {
    watched().erase(window);
    RemoveWindowSubclass(window, keyProc, kWatched);
    RemoveWindowSubclass(window, keyProc, kPassesFocusOn);
    for (HWND part = GetWindow(window, GW_CHILD); part; part = GetWindow(part, GW_HWNDNEXT)) {
        RemoveWindowSubclass(part, keyProc, kWatched);
        watched().erase(part);
    }
}

void watchFocusAndKeys(Control& control, HWND also) {
    SetWindowSubclass(hwnd(control), keyProc, also ? kPassesFocusOn : kWatched,
                      reinterpret_cast<DWORD_PTR>(&control));
    watched()[also ? also : hwnd(control)] = &control;
    if (also)
        SetWindowSubclass(also, keyProc, kWatched, reinterpret_cast<DWORD_PTR>(&control));
}

void pressEnter(HWND focus) {
    auto it = watched().find(focus);
    if (it == watched().end())
        return;
    Control& control = *it->second;
    int code = VK_RETURN;
    control.KeyDown(code, shiftState());
    if (auto* button = dynamic_cast<CommandButton*>(&control); button && code != 0)
        button->setValue(true);
}

void forwardNotifications(HWND container) {
    SetWindowSubclass(container, forwardProc, 2, 0);
}

} // namespace forms::win32
