#include "win32forms.h"

namespace forms {

CommandButton::CommandButton(Control& parent, std::string name, Rect twips,
                             const std::string& caption)
    : Control(parent, std::move(name), twips,
              win32::make(parent, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, caption)) {
    native().command = [this](WORD code) {
        if (code == BN_CLICKED)
            Click();
    };
    win32::watchFocusAndKeys(*this);
}

std::string CommandButton::Caption() const {
    return win32::windowText(win32::hwnd(*this));
}

void CommandButton::setDefault(bool isDefault) {
    HWND button = win32::hwnd(*this);
    HWND form = win32::hwnd(this->form());
    SendMessageW(button, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    if (isDefault)
        SendMessageW(form, DM_SETDEFID, static_cast<WPARAM>(native().id), 0);
    else if (LOWORD(SendMessageW(form, DM_GETDEFID, 0, 0)) == native().id)
        SendMessageW(form, DM_SETDEFID, 0, 0);
}

void CommandButton::setCancel(bool isCancel) {
    // The form presses its cancel button when Esc comes to it as IDCANCEL.
    m_cancel = isCancel;
}

void CommandButton::setPicture(const std::string& picture) {
    HWND button = win32::hwnd(*this);
    HBITMAP bitmap = win32::loadPicture(picture, GetSysColor(COLOR_BTNFACE));
    if (!bitmap)
        return;
    // A picture with a caption beside it, as a Qt button with an icon.
    if (GetWindowTextLengthW(button) == 0)
        win32::setStyle(button, BS_BITMAP, true);
    HGDIOBJ old = reinterpret_cast<HGDIOBJ>(
        SendMessageW(button, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    if (old)
        DeleteObject(old);
}

void CommandButton::setValue(bool pressed) {
    // As pressing it: a disabled button does nothing.
    if (pressed && Enabled())
        Click();
}

} // namespace forms
