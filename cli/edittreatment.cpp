#include "edittreatment.h"

#include "clireporter.h"
#include "handleroptions.h"
#include "stderrmessagebox.h"

namespace trapline::cli {

std::optional<HandlerPattern> handlerPattern(const InsertionOptions& options,
                                             const Codepage& codepage, ProjectInput& input) {
    const char* prefix = options.withComment ? "'" : "";
    if (options.useDefault)
        return HandlerPattern::standard(prefix, options.erl);
    auto pattern = HandlerPattern::templates(options.header, options.footer, prefix, codepage);
    if (!pattern) {
        input.fail("the templates hold text the code page cannot hold, so no handler can hold "
                   "them: " +
                   pattern.error().description);
        return std::nullopt;
    }
    if (pattern->empty()) {
        input.fail("both templates are empty: there is no handler to look for");
        return std::nullopt;
    }
    return std::move(*pattern);
}

void EditTreatment::treat(Component& component, FileOutcome& o) const {
    StderrMessageBox messages(&o.messages);
    CliReporter reporter(o.log);
    size_t chosen = 0;
    RunSummary s = HandlerEditor(m_vbe, m_pattern, messages, reporter)
                       .run(m_action, component, m_options, chosen);
    for (const RunSummary::Item& item : s.failed)
        o.messages += "trapline: " + shownComponent(component) + ":" + std::to_string(item.line) +
                      ": " + item.moduleName + "." + item.procName + ": " + item.failure + "\n";
    o.chosen = chosen;
    o.treated = std::move(s.treated);
    o.failed = std::move(s.failed);
}

} // namespace trapline::cli
