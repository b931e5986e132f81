// The user on the Win32 side: each action is the messages the system sends
// a control for it, sent to the control's own window, so that its
// notifications reach the form as they would for a real click or key.
#include "../user.h"

#include "win32forms.h"

#include <deque>

namespace user {
namespace {

using forms::win32::hwnd;

/// The window that takes the keys of `control`: a combo box's edit field.
HWND keyWindow(const forms::Control& control) {
    HWND w = hwnd(control);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (GetComboBoxInfo(w, &info) && info.hwndItem && info.hwndItem != w)
        return info.hwndItem;
    return w;
}

/// Holds the modifier keys down for the keys sent meanwhile.
class Modifiers {
public:
    explicit Modifiers(int shift) {
        GetKeyboardState(m_saved);
        BYTE state[256];
        GetKeyboardState(state);
        for (auto [mask, key] :
             {std::pair{forms::vbShiftMask, VK_SHIFT}, std::pair{forms::vbCtrlMask, VK_CONTROL},
              std::pair{forms::vbAltMask, VK_MENU}})
            if (shift & mask) {
                state[key] = 0x80;
                m_keys.push_back(key);
            }
        SetKeyboardState(state);
    }
    ~Modifiers() { SetKeyboardState(m_saved); }
    const std::vector<int>& keys() const { return m_keys; }

private:
    BYTE m_saved[256] = {};
    std::vector<int> m_keys;
};

LPARAM keyData(int vk, bool up) {
    const auto scan = MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
    return static_cast<LPARAM>(1 | (scan << 16) | (up ? 0xC0000000u : 0));
}

/// A key message as the message loop delivers it: through the dialog
/// keys of the form first.
void deliver(HWND to, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{to, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
    if (!forms::win32::dialogMessage(msg))
        SendMessageW(to, message, wParam, lParam);
}

/// A typed character: its key and the character, straight to the control,
/// so that any character arrives whatever the keyboard layout.
void typeKey(HWND to, int vk, wchar_t typed) {
    SendMessageW(to, WM_KEYDOWN, static_cast<WPARAM>(vk), keyData(vk, false));
    SendMessageW(to, WM_CHAR, typed, keyData(vk, false));
    SendMessageW(to, WM_KEYUP, static_cast<WPARAM>(vk), keyData(vk, true));
}

std::deque<std::function<void()>>& pending() {
    static std::deque<std::function<void()>> actions;
    return actions;
}

VOID CALLBACK runPending(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (pending().empty())
        return;
    auto action = std::move(pending().front());
    pending().pop_front();
    action();
}

} // namespace

void click(forms::CommandButton& button) {
    SendMessageW(hwnd(button), BM_CLICK, 0, 0);
    settle();
}

void click(forms::CheckBox& box) {
    SendMessageW(hwnd(box), BM_CLICK, 0, 0);
    settle();
}

void click(forms::Label& label) {
    SendMessageW(hwnd(label), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageW(hwnd(label), WM_LBUTTONUP, 0, 0);
    settle();
}

void type(forms::TextBox& box, const std::string& text) {
    HWND to = keyWindow(box);
    const std::wstring typed = forms::win32::wide(text);
    for (size_t i = 0; i < typed.size(); ++i) {
        wchar_t c = typed[i];
        if (c == L'\r' && i + 1 < typed.size() && typed[i + 1] == L'\n')
            ++i;
        if (c == L'\r' || c == L'\n') {
            typeKey(to, VK_RETURN, L'\r');
            continue;
        }
        const SHORT scan = VkKeyScanW(c);
        const int vk = scan == -1 ? 0 : (scan & 0xFF);
        Modifiers held(scan != -1 && (scan & 0x100) ? forms::vbShiftMask : 0);
        typeKey(to, vk, c);
    }
    settle();
}

void press(forms::Control& control, int vbKeyCode, int shift) {
    // VB's key codes are the virtual-key codes. A form takes a key at the
    // control that has the focus.
    HWND to = keyWindow(control);
    if (dynamic_cast<forms::Form*>(&control)) {
        HWND focus = GetFocus();
        if (focus && IsChild(to, focus))
            to = focus;
    } else if (GetFocus() != to) {
        // A key reaches the window that has the focus; the dialog keys
        // (Enter on a focused button) ask which one that is.
        SetFocus(to);
    }
    // Through the dialog keys, as the message loop passes it: Tab, Enter
    // and Esc act there; any character the key makes comes from
    // TranslateMessage and is delivered by settle().
    // With Alt held the system sends its "system" keys, which make the
    // WM_SYSCHAR of an '&' accelerator.
    const bool alt = (shift & forms::vbAltMask) != 0;
    const UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN, up = alt ? WM_SYSKEYUP : WM_KEYUP;
    const LPARAM context = alt ? 1 << 29 : 0;
    Modifiers held(shift);
    for (int modifier : held.keys())
        deliver(to, down, static_cast<WPARAM>(modifier), keyData(modifier, false) | context);
    deliver(to, down, static_cast<WPARAM>(vbKeyCode), keyData(vbKeyCode, false) | context);
    settle();
    deliver(to, up, static_cast<WPARAM>(vbKeyCode), keyData(vbKeyCode, true) | context);
    settle();
}

void openList(forms::ComboBox& box) {
    // The box tells the form CBN_DROPDOWN before its list shows; the list
    // closes again as a click elsewhere closes it.
    SendMessageW(hwnd(box), CB_SHOWDROPDOWN, TRUE, 0);
    SendMessageW(hwnd(box), CB_SHOWDROPDOWN, FALSE, 0);
    settle();
}

void choose(forms::ComboBox& box, int index) {
    // CB_SETCURSEL tells nobody; the choice of a user is CBN_SELCHANGE.
    HWND combo = hwnd(box);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    settle();
}

void close(forms::Form& form) {
    SendMessageW(hwnd(form), WM_CLOSE, 0, 0);
    settle();
}

void soon(std::function<void()> action) {
    pending().push_back(std::move(action));
    SetTimer(nullptr, 0, 0, runPending);
}

void settle() {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (!forms::win32::dialogMessage(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

} // namespace user
