#pragma once

#include "messagebox.h"
#include "vbe.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trapline {

/// One catalogued procedure.
struct ProcInfo {
    std::string ModuleName; ///< component name, in the project's code page
    std::string ProcName;   ///< display name: "Value (Get)" for a property procedure
    int32_t ProcType = 0;   ///< 0 Sub, 1 Function, 2 property procedure
    int32_t ProcKind = 0;   ///< host kind: 0 Sub/Function, 3 Get, 1 Let, 2 Set
    /// "On Error " occurs from the declaration to the end; in every
    /// definition, when the module defines the procedure more than once.
    bool HasErrorTrap = false;
    /// The component the entry came from. Several components may share a name
    /// (a folder of projects); this is the one that holds the procedure.
    Component* component = nullptr;
};

/// The procedure catalogue: the procedures of one module, or of all, built anew
/// by every `GetProcNames` call because every insertion moves lines.
class ProcCatalogue {
public:
    ProcCatalogue(const VBE& vbe, MessageBoxService& messages) : m_vbe(vbe), m_messages(messages) {}

    /// Catalogues the components named `moduleFilter` exactly, or all for "*".
    /// A component made without its code is loaded first; one that cannot be
    /// read is named in a message box and left out.
    /// True when at least one procedure was found. An error before the first
    /// member is shown in a message box titled "ERROR GetProcNames !" and
    /// gives false; a member whose host step fails later is left out.
    bool GetProcNames(std::string_view moduleFilter);

    /// Limits the catalogue to one component (null: no limit), for callers
    /// that treat a project one file at a time.
    void restrictTo(Component* component) { m_only = component; }

    /// Entries 1..n; entry 0 is never filled.
    const std::vector<ProcInfo>& Procs() const { return m_procs; }
    /// n, the number of entries.
    size_t size() const { return m_procs.size() - 1; }

    /// Whether "On Error " occurs from the procedure's declaration to its last
    /// line, in the given definition (see CodeModule::ProcBodyLine).
    static Result<bool> hasErrorTrap(const CodeModule& module, std::string_view name, int kind,
                                     size_t definition = 0);
    /// The same for every definition of the procedure: a procedure defined
    /// twice is trapped only when both definitions are.
    static Result<bool> allTrapped(const CodeModule& module, std::string_view name, int kind);

private:
    bool ready(Component& component);
    void catalogue(Component& component);

    const VBE& m_vbe;
    MessageBoxService& m_messages;
    std::vector<ProcInfo> m_procs = std::vector<ProcInfo>(1);
    Component* m_only = nullptr;
};

} // namespace trapline
