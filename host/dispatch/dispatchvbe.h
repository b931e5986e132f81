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
    /// the code page `codepage` (a Windows code page number). Fails with
    /// "Type mismatch" (13) when `application` is not the IDE: an IDispatch
    /// that answers to CommandBars, ActiveVBProject and VBProjects by name,
    /// whichever interface ids it has (VB6's and the VBA editor's differ).
    /// A project that cannot be read (locked for viewing) does not fail the
    /// connection, whose command bars need no code: it is left out, and
    /// projectError() says why; a module that cannot be read is left out
    /// alone (notes()).
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
    /// The components the last reading left out, each named with the reason:
    /// one without code (a resource file, a related document, a designer
    /// without a code module), one whose text or name the code page cannot
    /// hold (the line and the character named). The other modules are read.
    std::vector<std::string> notes() const override { return m_notes; }

    /// Writes the engine's changes of every module into the IDE with the
    /// fewest editing calls, then reads each changed module back; a module
    /// the engine added is added to the IDE's project first. A module
    /// the IDE changed since it was read is not written; a module whose text
    /// then holds other code than the engine's is reported. Case and spacing
    /// the IDE gave the code as it listed it are no change: its text becomes
    /// the engine's. One error per module that did not come out as the
    /// engine holds it, naming the module.
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
    /// The first line (from 0) at which `a` and `b` hold other code, as VB
    /// compares it (codeshape.h); npos when they hold the same code.
    size_t firstOtherLine(const std::vector<std::string>& a,
                          const std::vector<std::string>& b) const;
    /// Reads one component into `project`; an error says why it is left out.
    Result<void> readModule(Project& project, const DispatchObject& component,
                            const std::wstring& name);
    Result<void> addModule(Component& component);

    DispatchObject m_vbe;
    unsigned m_codepage;
    DispatchBars m_bars;
    DispatchEvents m_events;
    std::vector<Module> m_modules;
    std::optional<Error> m_projectError;
    std::vector<std::string> m_notes;
};

} // namespace trapline::dispatch
