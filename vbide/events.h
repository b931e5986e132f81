#pragma once

#include "commandbarevents.h"
#include "result.h"

namespace vbide {

class CommandBarControl;
/// The event source type, under a name the member below does not hide.
using CommandBarEventSource = CommandBarEvents;

/// The environment's event sources.
class Events {
public:
    virtual ~Events() = default;

    /// The event source of `control`, owned by the environment and valid as
    /// long as the control; the same object for the same control.
    virtual trapline::Result<CommandBarEventSource*>
    CommandBarEvents(CommandBarControl* control) = 0;
};

} // namespace vbide
