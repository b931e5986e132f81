#include "handlereditor.h"

#include "chosendefinitions.h"
#include "declaration.h"

namespace trapline {

bool HandlerEditor::chooses(const InsertionOptions& options, const std::string& procName,
                            const ProcInfo& entry, bool trapFilter) {
    if (procName != "*")
        return entry.ProcName == procName;
    if (trapFilter && options.skipTrapped && entry.HasErrorTrap)
        return false;
    return InsertionRun::passesTypeFilter(options, entry.ProcType);
}

bool HandlerEditor::treat(Action action, CodeModule& module, const ProcInfo& entry,
                          size_t definition, bool& changed, std::string& why) const {
    changed = false;
    auto found = m_pattern.find(module, entry, definition);
    // A procedure that cannot take a handler holds none of ours.
    if (!found || found->presence == HandlerPattern::Presence::None)
        return true;
    if (found->presence == HandlerPattern::Presence::Partial) {
        why = "the handler is not as it was inserted (edited by hand, or only half there); it "
              "is left as it is";
        return false;
    }
    if (action == Action::Remove) {
        // The footer first, so that the header's lines stay where they were found.
        auto footer =
            module.DeleteLines(found->footerLine, static_cast<long>(m_pattern.footerCount()));
        if (!footer) {
            why = footer.error().description;
            return false;
        }
        if (auto header =
                module.DeleteLines(found->headerLine, static_cast<long>(m_pattern.headerCount()));
            !header) {
            // Cannot happen once the footer went (header lines carry no
            // attributes the footer's did not); should it, say so.
            why = header.error().description;
            return false;
        }
        changed = true;
        return true;
    }
    const std::vector<std::string> texts = m_pattern.renamed(*found, entry);
    for (size_t k = 0; k < texts.size(); ++k) {
        const long line = k < m_pattern.headerCount()
                              ? found->headerLine + static_cast<long>(k)
                              : found->footerLine + static_cast<long>(k - m_pattern.headerCount());
        if (module.line(line) == texts[k])
            continue;
        if (auto r = module.ReplaceLine(line, texts[k]); !r) {
            why = r.error().description;
            return false;
        }
        changed = true;
    }
    return true;
}

RunSummary HandlerEditor::run(Action action, Component& component, const InsertionOptions& options,
                              size_t& chosen) const {
    RunSummary summary;
    CodeModule& module = component.CodeModule();
    const char* verb = action == Action::Remove ? "Removed from " : "Refreshed in ";
    ChosenDefinitions(m_vbe, m_messages)
        .forEach(component, options, chosen, [&](const ChosenDefinitions::Definition& def) {
            // Nothing is removed above a declaration, so its line stays put.
            bool changed = false;
            std::string why;
            const bool ok = treat(action, module, def.entry, def.index, changed, why);
            // The line as read, for a message and to tell the definitions
            // of a procedure defined twice apart; finding it costs a pass
            // over the file, too much to pay for every procedure.
            const long line = def.body && (def.count > 1 || !ok) ? module.fileLine(*def.body) : 0;
            RunSummary::Item item{def.cp.toUtf8(def.entry.ModuleName),
                                  def.cp.toUtf8(def.entry.ProcName), &component, why, line};
            if (!ok) {
                summary.failed.push_back(std::move(item));
            } else if (changed) {
                const int procType = def.body
                                         ? declaration::DefinitionType(module, def.entry.ProcType,
                                                                       def.index, *def.body)
                                         : def.entry.ProcType;
                m_reporter.log(verb + declaration::KindKeywords(procType).keyword + " : " +
                               def.cp.toUtf8(def.name) + "\r\n");
                summary.treated.push_back(std::move(item));
            }
        });
    return summary;
}

} // namespace trapline
