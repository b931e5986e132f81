#include "win32forms.h"

namespace forms {
namespace {

LRESULT send(const Control& box, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageW(win32::hwnd(box), message, wParam, lParam);
}

DWORD style(ComboBox::Style style, bool sorted) {
    return (style == ComboBox::DropDownList ? CBS_DROPDOWNLIST : CBS_DROPDOWN | CBS_AUTOHSCROLL) |
           (sorted ? CBS_SORT : 0) | WS_VSCROLL | WS_TABSTOP;
}

/// The edit field of an editable combo box.
HWND editOf(HWND combo) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    return GetComboBoxInfo(combo, &info) ? info.hwndItem : nullptr;
}

} // namespace

ComboBox::ComboBox(Control& parent, std::string name, Rect twips, Style style, bool sorted)
    : Control(parent, std::move(name), twips,
              [&] {
                  NativePtr n = win32::make(parent, L"COMBOBOX", forms::style(style, sorted));
                  // The window's height holds the list as it drops: eight items.
                  n->listHeight =
                      8 * static_cast<int>(SendMessageW(n->hwnd, CB_GETITEMHEIGHT, 0, 0));
                  return n;
              }()),
      m_sorted(sorted) {
    // A choice from the list is Click; typing in the edit part is Change.
    native().command = [this](WORD code) {
        if (code == CBN_DROPDOWN)
            DropDown();
        else if (code == CBN_SELCHANGE)
            Click();
        else if (code == CBN_EDITCHANGE)
            Change();
    };
    HWND edit = editOf(native().hwnd);
    win32::watchFocusAndKeys(*this, edit != native().hwnd ? edit : nullptr);
}

std::string ComboBox::Text() const {
    return win32::windowText(win32::hwnd(*this));
}

void ComboBox::setText(const std::string& text) {
    const std::wstring w = win32::wide(text);
    if ((GetWindowLongPtrW(win32::hwnd(*this), GWL_STYLE) & CBS_DROPDOWNLIST) == CBS_DROPDOWNLIST)
        send(*this, CB_SETCURSEL,
             static_cast<WPARAM>(send(*this, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(w.c_str()))));
    else
        SetWindowTextW(win32::hwnd(*this), w.c_str());
}

int ComboBox::ListIndex() const {
    return static_cast<int>(send(*this, CB_GETCURSEL));
}

void ComboBox::setListIndex(int index) {
    send(*this, CB_SETCURSEL, static_cast<WPARAM>(index));
    Click(); // VB raises Click when code sets ListIndex too
}

int ComboBox::ListCount() const {
    return static_cast<int>(send(*this, CB_GETCOUNT));
}

std::string ComboBox::List(int index) const {
    const LRESULT length = send(*this, CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
    if (length == CB_ERR)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(
        static_cast<size_t>(std::max<LRESULT>(send(*this, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                                   reinterpret_cast<LPARAM>(text.data())),
                                              0)));
    return win32::narrow(text);
}

void ComboBox::AddItem(const std::string& item) {
    // CBS_SORT places it; adding leaves the edit part as the user typed it.
    send(*this, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::wide(item).c_str()));
}

void ComboBox::Clear() {
    const std::wstring typed = win32::wide(Text());
    send(*this, CB_RESETCONTENT);
    if ((GetWindowLongPtrW(win32::hwnd(*this), GWL_STYLE) & CBS_DROPDOWNLIST) != CBS_DROPDOWNLIST)
        SetWindowTextW(win32::hwnd(*this), typed.c_str());
}

} // namespace forms
