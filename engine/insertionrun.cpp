#include "insertionrun.h"

#include "declaration.h"
#include "handlerinserter.h"
#include "proccatalogue.h"

#include <algorithm>

namespace trapline {

bool InsertionRun::passesTypeFilter(const InsertionOptions& o, int procType) {
    const int checked = int(o.onlySub) + int(o.onlyFunc) + int(o.onlyProperty);
    if (checked != 1)
        return true;
    return (o.onlySub && procType == 0) || (o.onlyFunc && procType == 1) ||
           (o.onlyProperty && procType == 2);
}

/// What every entry of one run shares.
struct InsertionRun::Pass {
    const InsertionOptions& options;
    const Codepage& codepage;
    const ProcCatalogue& catalogue;
    HandlerInserter& inserter;
    std::string prefix;
    bool all; ///< every procedure that passes the filters, not one by name
    RunSummary& summary;
};

void InsertionRun::treat(Pass& pass, size_t j) {
    const ProcInfo& entry = pass.catalogue.Procs()[j];
    CodeModule* module = entry.component ? &entry.component->CodeModule() : nullptr;
    const std::string name = declaration::HostName(entry.ProcName);
    // Whole versions of a procedure under #If each have their own body and
    // End statement: every one is treated, and reported, on its own. Without
    // a module the inserter reports the entry once.
    const size_t definitions =
        module ? std::max<size_t>(module->ProcDefinitions(name, entry.ProcKind), 1) : 1;
    for (size_t d = 0; d < definitions; ++d) {
        // A partly trapped entry passed the filter; its trapped definitions
        // must still not get a second handler.
        if (pass.all && pass.options.skipTrapped && definitions > 1) {
            auto trapped = ProcCatalogue::hasErrorTrap(*module, name, entry.ProcKind, d);
            if (trapped && *trapped)
                continue;
        }
        long line = 0;
        if (definitions > 1)
            if (auto body = module->ProcBodyLine(name, entry.ProcKind, d))
                line = module->fileLine(*body);
        bool ok = pass.options.useDefault
                      ? pass.inserter.InsertDefaultCodes(j, module, pass.prefix, d)
                      : pass.inserter.InsertUserCodes(j, module, pass.prefix, d);
        RunSummary::Item item{pass.codepage.toUtf8(entry.ModuleName),
                              pass.codepage.toUtf8(entry.ProcName), entry.component,
                              pass.inserter.lastFailure(), line};
        (ok ? pass.summary.treated : pass.summary.failed).push_back(std::move(item));
    }
}

bool InsertionRun::templatesUsable(const InsertionOptions& options) {
    for (auto [text, which] : {std::pair{&options.header, "header"}, {&options.footer, "footer"}})
        if (auto fault = HandlerInserter::templateFault(*text)) {
            m_messages.show(
                std::to_string(errors::BadTemplate) + " :The " + which + " template, line " +
                    std::to_string(fault->line) + ": " + fault->reason + ". Nothing was inserted.",
                "Ошибка вставки обработки ошибок", MsgIcon::Exclamation, MsgButtons::Ok);
            return false;
        }
    return true;
}

RunSummary InsertionRun::run(const InsertionOptions& options) {
    RunSummary summary;
    if (options.procName.empty() || options.moduleName.empty())
        return summary;
    if (!options.useDefault && !templatesUsable(options))
        return summary;
    if (options.confirm && m_messages.show("Вставлять обработку ошибок ?", m_title,
                                           MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes)
        return summary;
    summary.confirmed = true;

    Project* project = m_vbe.ActiveVBProject();
    if (!project) {
        m_messages.show(std::to_string(errors::NoObject) + " :" +
                            "Object variable not set: no active project",
                        "Ошибка вставки обработки ошибок", MsgIcon::Exclamation, MsgButtons::Ok);
        return summary;
    }
    const Codepage& cp = project->codepage();
    auto moduleName = cp.fromUtf8(options.moduleName);
    auto procName = cp.fromUtf8(options.procName);
    if (!moduleName || !procName) {
        const Error& e = !moduleName ? moduleName.error() : procName.error();
        m_messages.show(std::to_string(e.number) + " :" + e.description,
                        "Ошибка вставки обработки ошибок", MsgIcon::Exclamation, MsgButtons::Ok);
        return summary;
    }

    ProcCatalogue catalogue(m_vbe, m_messages);
    catalogue.restrictTo(options.component);
    if (!catalogue.GetProcNames(*moduleName))
        return summary;

    m_reporter.busy(true);
    HandlerInserter inserter(catalogue, cp, m_messages, m_reporter);
    inserter.setTemplates(options.header, options.footer);
    inserter.setErl(options.erl);
    Pass pass{options,          cp,     catalogue, inserter, options.withComment ? "'" : "",
              *procName == "*", summary};
    const size_t total = catalogue.size();
    for (size_t j = 1; j <= total; ++j) {
        m_reporter.progress(j - 1, total);
        const ProcInfo& entry = catalogue.Procs()[j];
        if (pass.all) {
            if (options.skipTrapped && entry.HasErrorTrap)
                continue;
            if (!passesTypeFilter(options, entry.ProcType))
                continue;
        } else if (entry.ProcName != *procName) {
            continue;
        }
        treat(pass, j);
    }
    m_reporter.progress(total, total);
    m_reporter.busy(false);
    return summary;
}

} // namespace trapline
