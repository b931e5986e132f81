#include "handlercheck.h"

#include "chosendefinitions.h"
#include "declaration.h"
#include "handlereditor.h"
#include "proccatalogue.h"
#include "vbsyntax.h"

namespace trapline {
namespace {

/// "Sub Name", "Property Value (Get)": how a finding names its procedure.
std::string described(const ProcInfo& entry, int procType, const Codepage& cp) {
    return declaration::KindKeywords(procType).keyword + " " + cp.toUtf8(entry.ProcName);
}

} // namespace

Result<void> HandlerCheck::insertable(const CodeModule& module, const ProcInfo& entry,
                                      size_t definition, long body, long trap) const {
    const std::string name = declaration::HostName(entry.ProcName);
    auto where = module.procLines(name, entry.ProcKind, definition);
    if (!where)
        return where.error();
    const std::vector<std::string> texts = m_pattern.inserted(
        entry, declaration::DefinitionType(module, entry.ProcType, definition, body));
    const std::vector<std::string_view> views(texts.begin(), texts.end());
    return declaration::HandlerFits(module, name, body, trap, where->last, views);
}

std::optional<std::pair<long, std::string>>
HandlerCheck::staleLine(const CodeModule& module, const HandlerPattern::Found& found,
                        const ProcInfo& entry) const {
    const std::vector<std::string> texts = m_pattern.renamed(found, entry);
    for (size_t k = 0; k < texts.size(); ++k) {
        const long at = k < m_pattern.headerCount()
                            ? found.headerLine + static_cast<long>(k)
                            : found.footerLine + static_cast<long>(k - m_pattern.headerCount());
        if (module.line(at) != texts[k])
            return std::make_pair(at, texts[k]);
    }
    return std::nullopt;
}

std::vector<Finding> HandlerCheck::run(Component& component, const InsertionOptions& options,
                                       size_t& chosen) const {
    std::vector<Finding> out;
    const CodeModule& module = component.CodeModule();
    const vb::CodepageScope scope(module.leadBytes());
    // Every line's number as read, in one pass: a large module has thousands
    // of procedures to place.
    const std::vector<long> fileLines = module.fileLines();
    auto fileLine = [&](long line) {
        return line >= 1 && line <= static_cast<long>(fileLines.size())
                   ? fileLines[static_cast<size_t>(line - 1)]
                   : module.fileLine(line);
    };
    ChosenDefinitions(m_vbe, m_messages)
        .forEach(component, options, chosen, [&](const ChosenDefinitions::Definition& def) {
            const Codepage& cp = def.cp;
            const ProcInfo& entry = def.entry;
            auto add = [&](const char* rule, long line, std::string message) {
                out.push_back(Finding{rule, cp.toUtf8(entry.ModuleName), cp.toUtf8(entry.ProcName),
                                      &component, fileLine(line), std::move(message)});
            };
            const long line = def.body ? *def.body : 1;
            const int procType =
                declaration::DefinitionType(module, entry.ProcType, def.index, line);
            auto found = m_pattern.find(module, entry, def.index);
            // An insertion leaves out the trapped definitions of a procedure
            // defined more than once, as it leaves out trapped procedures.
            bool treats = HandlerEditor::chooses(options, def.procName, entry, true);
            if (treats && def.procName == "*" && options.skipTrapped && def.count > 1) {
                auto trapped =
                    ProcCatalogue::hasErrorTrap(module, def.name, entry.ProcKind, def.index);
                treats = !(trapped && *trapped);
            }
            // A handler that would give the procedure a label twice would not
            // compile, nor can one go into a procedure that runs past its
            // End: insert refuses those, so the check says so.
            Result<void> free;
            if (treats && found)
                free = insertable(module, entry, def.index, line, found->headerLine);
            if (treats && (!found || !free))
                add(kCannotInsert, line,
                    described(entry, procType, cp) + " cannot take a handler: " +
                        cp.toUtf8((!found ? found.error() : free.error()).description));
            else if (treats)
                add(kMissing, line, described(entry, procType, cp) + " has no error handler");
            if (!found || found->presence != HandlerPattern::Presence::Complete)
                return;
            if (auto stale = staleLine(module, *found, entry))
                add(kStaleName, stale->first,
                    "the handler of " + described(entry, procType, cp) + " reads \"" +
                        cp.toUtf8(module.line(stale->first)) + "\" where it should read \"" +
                        cp.toUtf8(stale->second) + "\"; trapline refresh brings it up to date");
        });
    return out;
}

} // namespace trapline
