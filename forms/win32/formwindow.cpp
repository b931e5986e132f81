// The window of a form: its class, its window procedure, and the routing
// of its controls' notifications and of the dialog keys.
#include "win32forms.h"

namespace forms {
namespace {

constexpr wchar_t kFormClass[] = L"TraplineForm";
/// Modal loops of ours running: they pass dialog keys on themselves.
int g_modalLoops = 0;

Control::Native* nativeOf(HWND window) {
    return reinterpret_cast<Control::Native*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

/// Esc: the first cancel button that can be pressed presses; without one
/// nothing happens, as in a VB form.
void pressCancel(Form& form) {
    for (Control* control : form.tabOrder())
        if (auto* button = dynamic_cast<CommandButton*>(control);
            button && button->Cancel() && button->Enabled() && button->Visible()) {
            button->setValue(true);
            return;
        }
}

LRESULT formMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Control::Native* n = nativeOf(window);
    if (!n || !n->form)
        return DefWindowProcW(window, message, wParam, lParam);
    Form& form = *n->form;
    LRESULT result = 0;
    switch (message) {
    case WM_COMMAND:
        // IsDialogMessageW sends Esc as IDCANCEL, from no control when the
        // form has none of that id.
        if (LOWORD(wParam) == IDCANCEL && !n->children.count(IDCANCEL)) {
            pressCancel(form);
            return 0;
        }
        // And Enter as IDOK when there is no default button.
        if (LOWORD(wParam) == IDOK && !n->children.count(IDOK)) {
            HWND focus = GetFocus();
            if (focus && IsChild(window, focus))
                win32::pressEnter(focus);
            return 0;
        }
        break;
    case WM_CLOSE:
        if (form.closing(vbFormControlMenu))
            ShowWindow(window, SW_HIDE);
        return 0;
    case WM_SIZE:
        form.Resize();
        return 0;
    case WM_SETCURSOR:
        // Asked of the window before its controls decide.
        if (win32::hourglass()) {
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
            return TRUE;
        }
        break;
    case WM_GETMINMAXINFO:
        if (n->minTrack.cx > 0 || n->minTrack.cy > 0) {
            auto& info = *reinterpret_cast<MINMAXINFO*>(lParam);
            info.ptMinTrackSize = POINT{n->minTrack.cx, n->minTrack.cy};
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        if (n->backBrush) {
            RECT r{};
            GetClientRect(window, &r);
            FillRect(reinterpret_cast<HDC>(wParam), &r, n->backBrush);
            return 1;
        }
        break;
    case DM_GETDEFID:
        return n->defaultId ? MAKELRESULT(n->defaultId, DC_HASDEFID) : 0;
    case DM_SETDEFID:
        n->defaultId = static_cast<int>(wParam);
        return TRUE;
    case WM_ACTIVATE:
        // Focus comes back to the control that had it, as in a dialog.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(window, focus))
                n->lastFocus = focus;
        } else {
            HWND to = n->lastFocus && IsChild(window, n->lastFocus)
                          ? n->lastFocus
                          : GetNextDlgTabItem(window, nullptr, FALSE);
            if (to)
                SetFocus(to);
        }
        return 0;
    default:
        break;
    }
    if (win32::route(window, message, wParam, lParam, result))
        return result;
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK formProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // A host's message loop dispatches under its own context, in which a
    // DLL's manifest counts for nothing: every event handler of a form
    // runs from here, so the form's context is put back here, once.
    const Control::Native* n = nativeOf(window);
    ULONG_PTR cookie = 0;
    const bool active = n && n->context && ActivateActCtx(n->context, &cookie);
    const LRESULT result = formMessage(window, message, wParam, lParam);
    if (active)
        DeactivateActCtx(0, cookie);
    return result;
}

/// Forms alive. The window class and the message hook are ours only while
/// there are any: the add-in is a DLL the IDE may unload, and the system
/// takes neither away with it.
int g_forms = 0;
HHOOK g_hook = nullptr;

const wchar_t* formClass() {
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.style = CS_DBLCLKS;
    c.lpfnWndProc = formProc;
    c.hInstance = win32::resourceModule();
    c.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    c.lpszClassName = kFormClass;
    if (g_forms++ == 0 && !RegisterClassExW(&c) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;
    return kFormClass;
}

void releaseFormClass() {
    if (--g_forms > 0)
        return;
    if (g_hook)
        UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
    UnregisterClassW(kFormClass, win32::resourceModule());
}

LRESULT CALLBACK getMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE && g_modalLoops == 0) {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (win32::dialogMessage(*msg)) {
            msg->message = WM_NULL;
            msg->wParam = msg->lParam = 0;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void hookDialogKeys() {
    if (!g_hook)
        g_hook = SetWindowsHookExW(WH_GETMESSAGE, getMessageHook, nullptr, GetCurrentThreadId());
}

} // namespace

const wchar_t* win32::acquireFormClass() {
    return formClass();
}

void win32::releaseFormClass() {
    forms::releaseFormClass();
}

void win32::hookDialogKeys() {
    forms::hookDialogKeys();
}

win32::ModalLoop::ModalLoop() {
    ++g_modalLoops;
}

win32::ModalLoop::~ModalLoop() {
    --g_modalLoops;
}

bool win32::dialogMessage(MSG& msg) {
    if (!msg.hwnd || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST)
        return false;
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    wchar_t name[32] = {};
    if (!root || !GetClassNameW(root, name, 32) || lstrcmpW(name, kFormClass) != 0)
        return false;
    return IsDialogMessageW(root, &msg) != FALSE;
}

bool win32::route(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    auto child = [](HWND control) -> Control::Native* {
        Control::Native* n = control ? nativeOf(control) : nullptr;
        return n && !n->form ? n : nullptr;
    };
    switch (message) {
    case WM_COMMAND: {
        // By the control's id; Enter comes from IsDialogMessageW as the
        // default button's id.
        // IsDialogMessageW sends IDOK with the focused control when there is
        // no default button: that is no notification of the control.
        HWND from = reinterpret_cast<HWND>(lParam);
        if (from && GetDlgCtrlID(from) != LOWORD(wParam))
            from = nullptr;
        if (!from) {
            HWND root = GetAncestor(window, GA_ROOT);
            if (Control::Native* f = root ? nativeOf(root) : nullptr; f && f->form) {
                auto it = f->children.find(LOWORD(wParam));
                if (it != f->children.end())
                    from = it->second->hwnd;
            }
        }
        Control::Native* n = child(from);
        if (!n || !n->command)
            return false;
        n->command(HIWORD(wParam));
        result = 0;
        return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        Control::Native* n = child(reinterpret_cast<HWND>(lParam));
        // A control without a colour of its own shows its container's, up
        // to the form's.
        Control::Native* coloured = n;
        while (coloured && coloured->back == kSystemColor)
            coloured = coloured->form ? nullptr : nativeOf(GetParent(coloured->hwnd));
        if (!n || (!coloured && n->fore == kSystemColor))
            return false;
        HDC dc = reinterpret_cast<HDC>(wParam);
        if (n->fore != kSystemColor)
            SetTextColor(dc, colorRef(n->fore));
        if (coloured) {
            SetBkColor(dc, colorRef(coloured->back));
            result = reinterpret_cast<LRESULT>(coloured->backBrush);
        } else {
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        return true;
    }
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        Control::Native* n = child(item.hwndItem);
        if (!n || !n->draw)
            return false;
        n->draw(item);
        result = TRUE;
        return true;
    }
    default:
        return false;
    }
}

} // namespace forms
