#include "chosendefinitions.h"

#include "declaration.h"
#include "handlereditor.h"

#include <algorithm>

namespace trapline {

bool ChosenDefinitions::forEach(Component& component, const InsertionOptions& options,
                                size_t& chosen,
                                const std::function<void(const Definition&)>& visit) const {
    chosen = 0;
    Project* project = m_vbe.ActiveVBProject();
    if (!project)
        return false;
    // A document's names are in its own code page, whatever the run's.
    const Codepage& cp = component.codepage(project->codepage());
    auto moduleName = cp.fromUtf8(options.moduleName);
    auto procName = cp.fromUtf8(options.procName);
    if (!moduleName || !procName)
        return false;
    ProcCatalogue catalogue(m_vbe, m_messages);
    catalogue.restrictTo(&component);
    if (!catalogue.GetProcNames(*moduleName))
        return false;
    const CodeModule& module = component.CodeModule();
    for (size_t j = 1; j <= catalogue.size(); ++j) {
        const ProcInfo& entry = catalogue.Procs()[j];
        if (!HandlerEditor::chooses(options, *procName, entry, false))
            continue;
        ++chosen;
        const std::string name = declaration::HostName(entry.ProcName);
        const size_t count = std::max<size_t>(module.ProcDefinitions(name, entry.ProcKind), 1);
        for (size_t d = 0; d < count; ++d)
            visit({cp, entry, name, *procName, d, count,
                   module.ProcBodyLine(name, entry.ProcKind, d)});
    }
    return true;
}

} // namespace trapline
