#pragma once

#include "dispatchcommandbars.h"
#include "dispatchevents.h"
#include "dispatchobject.h"
#include "vbenvironment.h"

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace trapline::dispatch {

/// The IDE's root object behind vbide::VBE, by late binding. The active
/// project's modules are read into the engine's code model, which is what
/// ActiveVBProject() returns; writeBack() carries the engine's changes into
/// the IDE's modules.
///
/// The IDE tells no code page for a project's text: it is taken as the one
/// given to connect(), which for the add-in is the system's ANSI code page,
/// the one the IDE itself keeps code in.
class DispatchVBE : public vbide::VBE {
public:
    /// The root object behind `application`, with its active project read in
    /// the code page `codepage` (a Windows code page number). Fails with the
    /// connection's message when `application` does not offer the VBE
    /// interface. A project that cannot be read (a module the code page
    /// cannot hold, a project locked for viewing) does not fail the
    /// connection, whose command bars need no code: it is left out, and
    /// projectError() says why.
    static Result<std::unique_ptr<DispatchVBE>> connect(IDispatch* application, unsigned codepage);
    ~DispatchVBE() override;

    vbide::CommandBarCollection& CommandBars() override { return m_bars; }
    vbide::EventSources& Events() override { return m_events; }
    /// VBE.MainWindow.HWnd; 0 when the IDE does not tell it.
    std::uintptr_t MainWindow() const override;

    /// Reads the active project again (none when the IDE has none); changes
    /// of the engine not written back are dropped, and so is the project
    /// read before, with every pointer into it. On an error the project read
    /// before stays.
    Result<void> reload() override;
    /// Why the project could not be read at the connection, if it could not.
    const std::optional<Error>& projectError() const { return m_projectError; }

    /// Writes the engine's changes of every module into the IDE with the
    /// fewest editing calls, then reads each changed module back; a module
    /// the engine added is added to the IDE's project first. A module
    /// the IDE changed since it was read is not written; a module whose text
    /// then differs from the engine's is reported. One error per module that
    /// did not come out as the engine holds it, naming the module.
    std::vector<Error> writeBack() override;

private:
    struct Module {
        Component* component;
        std::string label;              ///< the module's name, for messages
        DispatchObject code;            ///< the IDE's CodeModule
        std::vector<std::string> lines; ///< the IDE's text as last read or written
    };

    DispatchVBE(DispatchObject vbe, unsigned codepage);
    Result<std::vector<std::string>> readLines(const DispatchObject& code) const;
    Result<void> writeModule(Module& module);
    Result<void> readModule(Project& project, const DispatchObject& component);
    Result<void> addModule(Component& component);

    DispatchObject m_vbe;
    unsigned m_codepage;
    DispatchBars m_bars;
    DispatchEvents m_events;
    std::vector<Module> m_modules;
    std::optional<Error> m_projectError;
};

} // namespace trapline::dispatch
