#pragma once

#include "commandbar.h"
#include "result.h"

#include <string>

namespace vbide {

/// The environment's command bars: 1 is the menu bar, 2 the "Standard"
/// toolbar; menus such as "Add-Ins" are command bars of their own, found by
/// name.
class CommandBars {
public:
    virtual ~CommandBars() = default;

    virtual long Count() const = 0;
    /// By 1-based index; error 9 when there is no such bar.
    virtual trapline::Result<CommandBar*> Item(long index) = 0;
    /// By name, exactly; error 5 when there is no such bar.
    virtual trapline::Result<CommandBar*> Item(const std::string& name) = 0;
};

} // namespace vbide
