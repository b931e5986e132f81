#pragma once

#include "result.h"

#include <string>

namespace vbide {

/// One control on a command bar: a button or a menu entry. Owned by its bar;
/// valid until Delete() or until the environment ends.
class CommandBarControl {
public:
    virtual ~CommandBarControl() = default;

    virtual std::string Caption() const = 0;
    virtual trapline::Result<void> setCaption(const std::string& caption) = 0;
    /// Takes the control's face from the picture on the system clipboard;
    /// an error when the clipboard holds no picture.
    virtual trapline::Result<void> PasteFace() = 0;
    /// Removes the control from its bar; the object is gone afterwards.
    virtual trapline::Result<void> Delete() = 0;
};

} // namespace vbide
