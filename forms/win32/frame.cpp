#include "win32forms.h"

namespace forms {

Frame::Frame(Control& parent, std::string name, Rect twips, bool border)
    : Control(parent, std::move(name), twips,
              // A border is a plain line drawn here: a group box would draw
              // the faint etched line of a group's outline.
              win32::make(parent, L"STATIC", (border ? SS_OWNERDRAW : SS_LEFT) | WS_CLIPCHILDREN,
                          WS_EX_CONTROLPARENT)) {
    if (border)
        native().draw = [](const DRAWITEMSTRUCT& item) {
            // Only the line: what lies inside shows through, as it did
            // inside a group box.
            FrameRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_WINDOWTEXT));
        };
    // Its controls' notifications go to it, their parent; the form routes them.
    win32::forwardNotifications(native().hwnd);
}

} // namespace forms
