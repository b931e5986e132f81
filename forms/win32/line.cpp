#include "win32forms.h"

namespace forms {

Line::Line(Control& parent, std::string name, Rect twips)
    : Control(parent, std::move(name), twips, win32::make(parent, L"STATIC", SS_ETCHEDHORZ)) {}

} // namespace forms
