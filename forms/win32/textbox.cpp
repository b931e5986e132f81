#include "win32forms.h"

namespace forms {
namespace {

constexpr DWORD kSingleLine = ES_AUTOHSCROLL | WS_TABSTOP;
constexpr DWORD kMultiLine =
    ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP;

LRESULT send(const Control& box, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageW(win32::hwnd(box), message, wParam, lParam);
}

std::wstring wideText(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace

TextBox::TextBox(Control& parent, std::string name, Rect twips, bool multiLine)
    : Control(parent, std::move(name), twips,
              win32::make(parent, L"EDIT", multiLine ? kMultiLine : kSingleLine, WS_EX_CLIENTEDGE)),
      m_multiLine(multiLine) {
    // EN_CHANGE comes for WM_SETTEXT too, as Change does for code.
    native().command = [this](WORD code) {
        if (code == EN_CHANGE)
            Change();
    };
    win32::watchFocusAndKeys(*this);
}

std::string TextBox::Text() const {
    return win32::windowText(win32::hwnd(*this));
}

void TextBox::setText(const std::string& text) {
    SetWindowTextW(win32::hwnd(*this), win32::wide(text).c_str());
}

void TextBox::setScrollBars(ScrollBars bars) {
    if (!m_multiLine)
        return;
    // A multi-line edit decides at its making whether it wraps (without
    // ES_AUTOHSCROLL): the box is made again with its new style, in its
    // place, with its text, font and tip.
    Native& n = native();
    HWND old = n.hwnd;
    LONG_PTR style =
        GetWindowLongPtrW(old, GWL_STYLE) & ~(WS_HSCROLL | WS_VSCROLL | ES_AUTOHSCROLL);
    if (bars & Horizontal)
        style |= WS_HSCROLL | ES_AUTOHSCROLL;
    if (bars & Vertical)
        style |= WS_VSCROLL;
    RECT r{};
    GetWindowRect(old, &r);
    MapWindowPoints(nullptr, GetParent(old), reinterpret_cast<POINT*>(&r), 2);
    HWND made = CreateWindowExW(static_cast<DWORD>(GetWindowLongPtrW(old, GWL_EXSTYLE)), L"EDIT",
                                win32::wide(Text()).c_str(), static_cast<DWORD>(style), r.left,
                                r.top, r.right - r.left, r.bottom - r.top, GetParent(old),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(n.id)),
                                GetModuleHandleW(nullptr), nullptr);
    if (!made)
        return;
    SetWindowPos(made, old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowLongPtrW(made, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&n));
    HFONT font = n.font ? n.font : form().native().font;
    SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowLongPtrW(old, GWLP_USERDATA, 0);
    win32::unwatch(old);
    const std::string tip = win32::toolTipText(*this);
    if (!tip.empty())
        setToolTipText({}); // the old window's tool goes with it
    DestroyWindow(old);
    n.hwnd = made;
    win32::watchFocusAndKeys(*this);
    if (!tip.empty())
        setToolTipText(tip);
}

void TextBox::setLocked(bool locked) {
    send(*this, EM_SETREADONLY, locked);
}

int TextBox::SelStart() const {
    DWORD start = 0, end = 0;
    send(*this, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(start);
}

int TextBox::SelLength() const {
    DWORD start = 0, end = 0;
    send(*this, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(end - start);
}

void TextBox::setSel(int start, int length) {
    send(*this, EM_SETSEL, static_cast<WPARAM>(start), start + length);
}

std::string TextBox::SelText() const {
    const std::wstring text = wideText(win32::hwnd(*this));
    const auto start = std::min(static_cast<size_t>(SelStart()), text.size());
    return win32::narrow(text.substr(start, static_cast<size_t>(SelLength())));
}

void TextBox::setSelText(const std::string& text) {
    send(*this, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(win32::wide(text).c_str()));
}

bool TextBox::CanUndo() const {
    return send(*this, EM_CANUNDO) != 0;
}

void TextBox::Undo() {
    send(*this, EM_UNDO);
}

void TextBox::EmptyUndoBuffer() {
    send(*this, EM_EMPTYUNDOBUFFER);
}

int TextBox::LineCount() const {
    return static_cast<int>(send(*this, EM_GETLINECOUNT));
}

int TextBox::FirstVisibleLine() const {
    return static_cast<int>(send(*this, EM_GETFIRSTVISIBLELINE));
}

int TextBox::LineFromChar(int charIndex) const {
    return static_cast<int>(send(*this, EM_LINEFROMCHAR, static_cast<WPARAM>(charIndex)));
}

int TextBox::LineIndex(int line) const {
    return static_cast<int>(send(*this, EM_LINEINDEX, static_cast<WPARAM>(line)));
}

int TextBox::LineLength(int charIndex) const {
    return static_cast<int>(send(*this, EM_LINELENGTH, static_cast<WPARAM>(charIndex)));
}

std::string TextBox::GetLine(int line) const {
    const int start = LineIndex(line);
    if (start < 0)
        return {};
    const int length = LineLength(start);
    // EM_GETLINE reads the buffer's size from its first character and ends
    // the line at no NUL.
    std::wstring buffer(static_cast<size_t>(std::max(length, 1)), L'\0');
    buffer[0] = static_cast<wchar_t>(buffer.size());
    const auto copied =
        send(*this, EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(static_cast<size_t>(std::clamp<LRESULT>(copied, 0, length)));
    return win32::narrow(buffer);
}

std::array<int, 4> TextBox::FormatRect() const {
    RECT r{};
    send(*this, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
    return {r.left, r.top, r.right, r.bottom};
}

void TextBox::setFormatRect(const std::array<int, 4>& rect) {
    RECT r{rect[0], rect[1], rect[2], rect[3]};
    send(*this, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&r));
}

void TextBox::LineScroll(int characters, int lines) {
    send(*this, EM_LINESCROLL, static_cast<WPARAM>(characters), lines);
}

void TextBox::ScrollCaret() {
    send(*this, EM_SCROLLCARET);
}

void TextBox::SetTabStops(const std::vector<int>& dialogUnits) {
    std::vector<INT> stops(dialogUnits.begin(), dialogUnits.end());
    send(*this, EM_SETTABSTOPS, stops.size(),
         reinterpret_cast<LPARAM>(stops.empty() ? nullptr : stops.data()));
    InvalidateRect(win32::hwnd(*this), nullptr, TRUE);
}

} // namespace forms
