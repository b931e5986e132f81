#include "win32forms.h"

namespace forms {

Frame::Frame(Control& parent, std::string name, Rect twips, bool border)
    : Control(
          parent, std::move(name), twips,
          border
              ? win32::make(parent, L"BUTTON", BS_GROUPBOX | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT)
              : win32::make(parent, L"STATIC", SS_LEFT | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT)) {
    // Its controls' notifications go to it, their parent; the form routes them.
    win32::forwardNotifications(native().hwnd);
}

} // namespace forms
