#pragma once

// What the neutral part of the layer asks of a side; each side defines these
// beside its controls.

#include "forms.h"

namespace forms::native {

/// Places `control` at `twips` inside its container.
void place(Control& control, Rect twips);
/// Makes the native Tab order follow `order`.
void applyTabOrder(const std::vector<Control*>& order);
/// Gives the native control `font`.
void applyFont(Control& control, const StdFont& font);

} // namespace forms::native
