#pragma once

#include <functional>

namespace vbide {

class CommandBarControl;

/// The event source of one command-bar control: raises Click when the user
/// chooses the control. `handled` and `CancelDefault` start false; a handler
/// may set them.
class CommandBarEvents {
public:
    using ClickHandler =
        std::function<void(CommandBarControl* control, bool& handled, bool& CancelDefault)>;

    virtual ~CommandBarEvents() = default;

    /// Binds the one Click handler (an empty one unbinds it).
    virtual void setClick(ClickHandler handler) = 0;
    /// The environment's own object behind this source, for a caller that
    /// hands it on (as an IDispatch* on Windows); null where there is none.
    virtual void* nativeObject() const { return nullptr; }
};

} // namespace vbide
