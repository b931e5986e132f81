#pragma once

#include "commandbars.h"
#include "events.h"
#include "object.h"
#include "result.h"
#include "vbe.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vbide {

/// The types of the members below, under names those members do not hide.
using CommandBarCollection = CommandBars;
using EventSources = Events;

/// The environment's root object as add-ins see it: the code model of the
/// active project (trapline::VBE), the command bars, the event sources and
/// the main window.
class VBE : public trapline::VBE, public Object {
public:
    VBE* asVBE() override { return this; }

    virtual CommandBarCollection& CommandBars() = 0;
    virtual EventSources& Events() = 0;
    /// The main window's handle (on Qt, the QWidget* of the main window as
    /// an integer), for windows that want it as their owner.
    virtual std::uintptr_t MainWindow() const = 0;
    /// Carries the engine's changes into the environment's own copy of the
    /// code, for an environment that keeps one apart from the engine's; one
    /// error per module that did not come out as the engine holds it. An
    /// environment whose code is the engine's has nothing to carry.
    virtual std::vector<trapline::Error> writeBack() { return {}; }
    /// Reads the environment's own copy of the code anew into the engine's
    /// model, so that edits made in the environment since the last reading
    /// are what the next run starts from; changes of the engine not carried
    /// over are dropped. An environment whose code is the engine's has
    /// nothing to read.
    virtual trapline::Result<void> reload() { return {}; }
    /// What the last reading of the environment's code left out and why,
    /// one sentence each (a module the code page cannot hold, a component
    /// without code); empty when it read everything.
    virtual std::vector<std::string> notes() const { return {}; }
};

} // namespace vbide
