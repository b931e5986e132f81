#include "proccatalogue.h"

#include "vbsyntax.h"

#include <algorithm>

namespace trapline {
namespace {

struct PropertyKind {
    int kind;
    const char* suffix;
};
constexpr PropertyKind kPropertyKinds[] = {{3, " (Get)"}, {1, " (Let)"}, {2, " (Set)"}};

} // namespace

Result<bool> ProcCatalogue::hasErrorTrap(const CodeModule& module, std::string_view name, int kind,
                                         size_t definition) {
    auto where = module.procLines(name, kind, definition);
    if (!where)
        return where.error();
    long line = where->body, column = 1, endLine = where->last, endColumn = -1;
    return module.Find("On Error ", line, column, endLine, endColumn, false, false, false);
}

Result<bool> ProcCatalogue::allTrapped(const CodeModule& module, std::string_view name, int kind) {
    // The first definition alone would hide a second one without a trap from
    // a run that leaves trapped procedures out.
    const size_t n = std::max<size_t>(module.ProcDefinitions(name, kind), 1);
    for (size_t d = 0; d < n; ++d) {
        auto trapped = hasErrorTrap(module, name, kind, d);
        if (!trapped || !*trapped)
            return trapped;
    }
    return true;
}

bool ProcCatalogue::GetProcNames(std::string_view moduleFilter) {
    m_procs.resize(1);
    Project* project = m_vbe.ActiveVBProject();
    if (!project) {
        m_messages.show(std::to_string(errors::NoObject) + " :" +
                            "Object variable not set: no active project",
                        "ERROR GetProcNames !", MsgIcon::Exclamation, MsgButtons::Ok);
        return false;
    }
    if (m_only) {
        // One component: no need to walk the others (a project treated file by
        // file would otherwise walk them all for every file).
        if (ready(*m_only) && (moduleFilter == "*" || m_only->Name() == moduleFilter))
            catalogue(*m_only);
        return size() > 0;
    }
    const Components& components = project->VBComponents();
    for (long i = 1; i <= components.Count(); ++i) {
        auto item = components.Item(i);
        if (!item) {
            m_messages.show(std::to_string(item.error().number) + " :" + item.error().description,
                            "ERROR GetProcNames !", MsgIcon::Exclamation, MsgButtons::Ok);
            return false;
        }
        Component& component = **item;
        // Loaded before its name is compared: the name a file gives itself
        // (VB_Name) is known only once it is read.
        if (ready(component) && (moduleFilter == "*" || component.Name() == moduleFilter))
            catalogue(component);
    }
    return size() > 0;
}

bool ProcCatalogue::ready(Component& component) {
    if (component.isLoaded())
        return true;
    // A component opened without its code (a large project) is read when first
    // used. One that cannot be read any more is named, and the others are
    // still catalogued: an empty module would hide that it was never treated.
    auto loaded = component.load();
    if (!loaded)
        m_messages.show(std::to_string(loaded.error().number) + " :" + loaded.error().source +
                            ": " + loaded.error().description,
                        "ERROR GetProcNames !", MsgIcon::Exclamation, MsgButtons::Ok);
    return bool(loaded);
}

void ProcCatalogue::catalogue(Component& component) {
    const CodeModule& module = component.CodeModule();
    const vb::CodepageScope scope(module.leadBytes());
    const std::string& moduleName = module.Parent() ? module.Parent()->Name() : component.Name();
    for (const Member& member : module.Members()) {
        if (member.Type == 1) {
            if (std::to_string(member.attribute).rfind("187", 0) == 0)
                continue;
            auto where = module.procLines(member.Name, 0);
            if (!where)
                continue;
            auto trap = allTrapped(module, member.Name, 0);
            if (!trap)
                continue; // nothing reliable to catalogue
            m_procs.push_back(ProcInfo{moduleName, member.Name, where->type, 0, *trap, &component});
        } else if (member.Type == 2) {
            for (const PropertyKind& pk : kPropertyKinds) {
                auto body = module.ProcBodyLine(member.Name, pk.kind);
                if (!body)
                    continue; // no procedure of this kind
                auto trap = allTrapped(module, member.Name, pk.kind);
                if (!trap)
                    continue;
                m_procs.push_back(
                    ProcInfo{moduleName, member.Name + pk.suffix, 2, pk.kind, *trap, &component});
            }
        }
    }
}

} // namespace trapline
