#include "insertionrun.h"

#include "handlerinserter.h"
#include "proccatalogue.h"

namespace trapline {

bool InsertionRun::passesTypeFilter(const InsertionOptions& o, int procType) {
    const int checked = int(o.onlySub) + int(o.onlyFunc) + int(o.onlyProperty);
    if (checked != 1)
        return true;
    return (o.onlySub && procType == 0) || (o.onlyFunc && procType == 1) ||
           (o.onlyProperty && procType == 2);
}

RunSummary InsertionRun::run(const InsertionOptions& options) {
    RunSummary summary;
    if (options.procName.empty() || options.moduleName.empty())
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
    const std::string prefix = options.withComment ? "'" : "";
    HandlerInserter inserter(catalogue, cp, m_messages, m_reporter);
    inserter.setTemplates(options.header, options.footer);
    const bool all = *procName == "*";
    const size_t total = catalogue.size();
    for (size_t j = 1; j <= total; ++j) {
        m_reporter.progress(j - 1, total);
        const ProcInfo& entry = catalogue.Procs()[j];
        if (all) {
            if (options.skipTrapped && entry.HasErrorTrap)
                continue;
            if (!passesTypeFilter(options, entry.ProcType))
                continue;
        } else if (entry.ProcName != *procName) {
            continue;
        }
        CodeModule* module = entry.component ? &entry.component->CodeModule() : nullptr;
        bool ok = options.useDefault ? inserter.InsertDefaultCodes(j, module, prefix)
                                     : inserter.InsertUserCodes(j, module, prefix);
        RunSummary::Item item{cp.toUtf8(entry.ModuleName), cp.toUtf8(entry.ProcName),
                              entry.component, inserter.lastFailure()};
        (ok ? summary.treated : summary.failed).push_back(std::move(item));
    }
    m_reporter.progress(total, total);
    m_reporter.busy(false);
    return summary;
}

} // namespace trapline
