// Tooltips of the controls, one tooltip window a form, and the hourglass.
#include "win32forms.h"

#include <commctrl.h>

#include <algorithm>

namespace forms {
namespace {

int g_busy = 0;

HWND tooltipOf(Control::Native& form) {
    if (form.tooltip && IsWindow(form.tooltip))
        return form.tooltip;
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);
    // Owned by the form, the tooltip goes with its window.
    form.tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                   WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, form.hwnd, nullptr,
                                   win32::resourceModule(), nullptr);
    return form.tooltip;
}

/// The tool of `control`: the whole window, its messages taken by the
/// tooltip itself. The version 5 size: comctl32 5 refuses the longer one.
TTTOOLINFOW toolOf(HWND control, const std::wstring* text) {
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text ? const_cast<wchar_t*>(text->c_str()) : nullptr;
    return tool;
}

} // namespace

void Control::setToolTipText(const std::string& tip) {
    Native& form = this->form().native();
    if (&form == &native())
        return;
    HWND control = native().hwnd;
    if (tip.empty() && !form.tooltip)
        return;
    HWND tooltip = tooltipOf(form);
    if (!tooltip)
        return;
    // The tooltip keeps a copy of the text.
    TTTOOLINFOW old = toolOf(control, nullptr);
    SendMessageW(tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&old));
    if (tip.empty())
        return;
    const std::wstring text = win32::wide(tip);
    TTTOOLINFOW tool = toolOf(control, &text);
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

std::string win32::toolTipText(const Control& control) {
    HWND tooltip = control.form().native().tooltip;
    if (!tooltip || &control == &control.form())
        return {};
    wchar_t text[1024] = {};
    TTTOOLINFOW tool = toolOf(control.native().hwnd, nullptr);
    tool.lpszText = text;
    if (!SendMessageW(tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)))
        return {};
    SendMessageW(tooltip, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&tool));
    return win32::narrow(text);
}

bool win32::hourglass() {
    return g_busy > 0;
}

void showHourglass(bool busy) {
    g_busy = busy ? g_busy + 1 : std::max(g_busy - 1, 0);
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(g_busy > 0 ? IDC_WAIT : IDC_ARROW)));
    if (g_busy == 0) {
        // The window under the mouse puts its own pointer back.
        POINT at{};
        if (GetCursorPos(&at))
            SetCursorPos(at.x, at.y);
    }
}

} // namespace forms
