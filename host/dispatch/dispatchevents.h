#pragma once

#include "dispatchcommandbars.h"
#include "dispatchobject.h"
#include "events.h"

#include <map>
#include <memory>

namespace trapline::dispatch {

class ClickSink;

/// The IDE's event sources behind vbide::Events. A control's Click arrives
/// through the connection point of its CommandBarEvents object; the
/// connection is dropped (Unadvise) when the control is deleted through the
/// bridge or when this object ends.
class DispatchEvents : public vbide::Events {
public:
    DispatchEvents(DispatchObject vbe, const DispatchBars& bars);
    ~DispatchEvents() override;

    trapline::Result<vbide::CommandBarEventSource*>
    CommandBarEvents(vbide::CommandBarControl* control) override;

    /// Drops the connection of `control`'s event source, if any.
    void forget(vbide::CommandBarControl* control);

private:
    class Source;

    DispatchObject m_vbe;
    const DispatchBars& m_bars;
    std::map<vbide::CommandBarControl*, std::unique_ptr<Source>> m_sources;
};

} // namespace trapline::dispatch
