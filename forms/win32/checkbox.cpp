#include "win32forms.h"

namespace forms {

CheckBox::CheckBox(Control& parent, std::string name, Rect twips, const std::string& caption)
    : Control(parent, std::move(name), twips,
              win32::make(parent, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0, caption)) {
    // The box has toggled itself when it tells of a click.
    native().command = [this](WORD code) {
        if (code == BN_CLICKED)
            Click();
    };
    win32::watchFocusAndKeys(*this);
}

std::string CheckBox::Caption() const {
    return win32::windowText(win32::hwnd(*this));
}

int CheckBox::Value() const {
    return SendMessageW(win32::hwnd(*this), BM_GETCHECK, 0, 0) == BST_CHECKED ? vbChecked
                                                                              : vbUnchecked;
}

void CheckBox::setValue(int value) {
    // BM_SETCHECK tells nobody; VB raises Click for a change made by code too.
    const int wanted = value == vbChecked ? vbChecked : vbUnchecked;
    if (wanted == Value())
        return;
    SendMessageW(win32::hwnd(*this), BM_SETCHECK, wanted == vbChecked ? BST_CHECKED : BST_UNCHECKED,
                 0);
    Click();
}

} // namespace forms
