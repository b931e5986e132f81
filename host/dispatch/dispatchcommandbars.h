#pragma once

#include "commandbars.h"
#include "dispatchobject.h"

#include <deque>
#include <functional>
#include <memory>

namespace trapline::dispatch {

/// The IDE's command bars behind vbide::CommandBars. The collection is asked
/// for afresh on every use, as the IDE's bars may change meanwhile. The bars
/// and controls handed out stay valid until this object ends; a deleted
/// control lets go of the IDE's object at once.
class DispatchBars : public vbide::CommandBars {
public:
    /// `vbe` is the IDE's root object; `deleted` hears of every control
    /// deleted through these objects.
    DispatchBars(DispatchObject vbe, std::function<void(vbide::CommandBarControl*)> deleted);
    ~DispatchBars() override;

    long Count() const override;
    trapline::Result<vbide::CommandBar*> Item(long index) override;
    trapline::Result<vbide::CommandBar*> Item(const std::string& name) override;

    /// The IDE's object behind a control handed out here; null for another
    /// control or one deleted.
    IDispatch* dispatchOf(vbide::CommandBarControl* control) const;

    /// Makes the wrappers of this bridge (the same one for the same object).
    class Factory;

private:
    trapline::Result<vbide::CommandBar*> item(const Variant& index);

    DispatchObject m_vbe;
    std::unique_ptr<Factory> m_factory;
};

} // namespace trapline::dispatch
