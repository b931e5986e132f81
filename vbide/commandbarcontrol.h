#pragma once

#include "result.h"

#include <string>

namespace vbide {

class CommandBar;

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
    /// The built-in command the control stands for (Office's control id,
    /// such as 30007 for the Tools menu); 0 when the environment tells none.
    virtual long Id() const { return 0; }
    /// The menu a popup control opens; an error (438) for a control that
    /// opens none.
    virtual trapline::Result<vbide::CommandBar*> CommandBar() {
        return trapline::makeError(438, "CommandBarControl",
                                   "Object doesn't support this property or method");
    }
};

} // namespace vbide
