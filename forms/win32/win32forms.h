#pragma once

// The Win32 side's view of a control: the window it holds. The form's window
// procedure routes each child's WM_COMMAND, WM_CTLCOLORSTATIC and
// WM_DRAWITEM to the child's Native, found by control id, which hands it to
// the control's own handler.

#include "forms.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <functional>
#include <map>
#include <string>

struct forms::Control::Native {
    Native() = default;
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;
    ~Native();

    HWND hwnd = nullptr;
    int id = 0;
    /// The form's Native, which routes to this one by `id`.
    Native* owner = nullptr;
    /// The control's own font, when it has one; otherwise the form's.
    HFONT font = nullptr;
    /// A notification code of WM_COMMAND from this control.
    std::function<void(WORD code)> command;
    /// Owner drawing, for a picture.
    std::function<void(const DRAWITEMSTRUCT&)> draw;
    /// Colours of a static; kSystemColor leaves the system's.
    Color back = kSystemColor, fore = kSystemColor;
    HBRUSH backBrush = nullptr;
    bool handCursor = false;
    /// A picture box's picture resource, stretched to it or not.
    std::string picture;
    bool stretch = false;
    /// Extra pixels below a combo box for its list.
    int listHeight = 0;

    // A form's own state.
    Form* form = nullptr;
    std::map<int, Native*> children; ///< by control id
    int nextId = 100;                ///< past IDOK and IDCANCEL
    int defaultId = 0;
    bool modal = false;
    bool sizable = false;
    /// Code has placed the window, or it was shown: its first showing
    /// leaves it where it is.
    bool placed = false;
    HWND lastFocus = nullptr;
    HICON icon = nullptr;
    /// The least outer size in pixels the user may drag the window to.
    SIZE minTrack{0, 0};
    /// The form's tooltip window, made with its first tip.
    HWND tooltip = nullptr;
    /// The activation context the form was made under, active again while
    /// it handles a message: the windows its event handlers open get the
    /// same common controls as the form, whatever the host's context is.
    HANDLE context = nullptr;
};

namespace forms::win32 {

std::wstring wide(const std::string& utf8);
std::string narrow(const std::wstring& utf16);
std::string windowText(HWND hwnd);

/// The window of `control`.
inline HWND hwnd(const Control& control) {
    return control.native().hwnd;
}

/// Makes the native part of a control: a window of `className` inside
/// `parent`'s window, with the form's font and an id of its own.
Control::NativePtr make(const Control& parent, const wchar_t* className, DWORD style,
                        DWORD exStyle = 0, const std::string& text = {});

/// Reports focus and keys of `control`'s window to the control's events;
/// with `also`, a part that takes the focus from it (a combo box's edit
/// field), that part's focus and keys as well.
void watchFocusAndKeys(Control& control, HWND also = nullptr);

/// Stops reporting to a control that is going.
void unwatch(HWND window);

/// Enter at the control whose window is `focus`, when the form has no
/// default button: the dialog keys keep it from the control, so its KeyDown
/// is raised here, and a focused button is pressed, as a VB form does.
void pressEnter(HWND focus);

/// Lets a container pass its children's notifications on to the form.
void forwardNotifications(HWND container);

/// The form's routing of a child's notification; true when handled.
bool route(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

/// The form's window class, registered while any form is alive: the add-in
/// is a DLL the IDE may unload, and the system keeps a DLL's class.
const wchar_t* acquireFormClass();
void releaseFormClass();

/// Dialog keys for modeless forms, from a message hook that goes with the
/// last form; while a ModalLoop stands, the modal loop passes them itself.
void hookDialogKeys();
struct ModalLoop {
    ModalLoop();
    ~ModalLoop();
    ModalLoop(const ModalLoop&) = delete;
    ModalLoop& operator=(const ModalLoop&) = delete;
};

/// Passes a key message meant for a form of ours through IsDialogMessageW
/// (Tab, Enter, Esc, '&' accelerators); true when it was handled there.
/// Modeless forms get this from a message hook installed when the first is
/// shown; a host with a loop of its own may call it instead.
bool dialogMessage(MSG& msg);

/// The tip of `control`; empty for none.
std::string toolTipText(const Control& control);

/// Whether the hourglass is on: every window of ours shows it.
bool hourglass();

/// The module whose resources are the add-in's: the one this code is in.
HMODULE resourceModule();

/// The DPI of the screen, for twips and point sizes.
int screenDpi();

/// A font for `font` at the screen's DPI that can draw Russian captions:
/// its face when that has the letters, else the same weight and cell height
/// in a face that does. The caller owns it.
HFONT makeFont(const StdFont& font);

/// Sets or clears `bits` of a window's style and redraws it.
void setStyle(HWND hwnd, LONG_PTR bits, bool on);

/// A picture resource of the add-in drawn over `background` (0x00BBGGRR),
/// its transparent pixels taking that colour; null when there is none.
HBITMAP loadPicture(const std::string& picture, COLORREF background, SIZE* size = nullptr);

/// An icon of a picture resource; null when there is none. The caller owns it.
HICON loadIcon(const std::string& picture);

/// COLORREF of 0xRRGGBB.
inline COLORREF colorRef(Color rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

} // namespace forms::win32
