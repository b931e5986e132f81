#include "batchcommand.h"

#include "batchprinter.h"
#include "handleroptions.h"
#include "projectinput.h"
#include "signalcleanup.h"

#include <CLI/CLI.hpp>
#include <cstdlib>

namespace trapline::cli {
namespace {

/// Why a run that treated everything it could must still write nothing, or
/// empty when it may go on.
std::string refusal(const BatchPipeline::Totals& run, const InsertionOptions& options) {
    if (run.unreadable)
        return "some files could not be read; nothing was written";
    if (run.refused)
        return "a document may not be changed now; nothing was written";
    if (run.undiffable)
        return "run it from a folder that holds every file of the project";
    if (!run.matched)
        return "no module named '" + options.moduleName + "'";
    if (run.chosen == 0 && options.procName != "*")
        return "no procedure named '" + options.procName + "'" +
               (options.moduleName == "*" ? std::string()
                                          : " in module '" + options.moduleName + "'");
    return {};
}

/// After a signal: says what was written, prints what JSON was asked for,
/// and ends the process by that signal.
[[noreturn]] void endInterrupted(TextOut& out, TextOut& err, const BatchPipeline::Totals& run,
                                 const std::string& json) {
    if (run.written == 0)
        err.write("trapline: interrupted; nothing was written\n");
    else if (run.interruptedFiles == 0)
        // The signal came as the last file was replaced: every file is written.
        err.format("trapline: interrupted; %zu file%s written (logged above)\n", run.written,
                   run.written == 1 ? "" : "s");
    else
        err.format("trapline: interrupted; %zu file%s written (logged above), the other %zu "
                   "as %s were\n",
                   run.written, run.written == 1 ? "" : "s", run.interruptedFiles,
                   run.interruptedFiles == 1 ? "it" : "they");
    out.write(json);
    SignalCleanup::endByInterruption();
    std::abort(); // endByInterruption() returns only when no signal came
}

} // namespace

void BatchCommand::define(CLI::App& app) {
    app.add_option("PATH", m_paths);
    m_handler.define(app, hasTrapFilter(), hasHandlerOptions());
    app.add_flag("--dry-run", m_dryRun);
    app.add_flag("--backup", m_backup);
    app.add_flag("--json", m_json);
    app.add_flag("--remove-signature", m_removeSignature);
}

bool BatchCommand::usable(ProjectInput& input) const {
    std::string problem;
    if (m_paths.empty())
        problem = std::string("no PATH given\nTry 'trapline ") + name() + " --help'.";
    else if (!m_handler.templatesPaired())
        problem = "--header and --footer go together";
    else if (m_dryRun && m_json)
        problem = "--dry-run prints a diff; it does not go with --json";
    else if (m_dryRun && m_backup)
        problem = "--dry-run writes nothing, so --backup has nothing to keep";
    if (!problem.empty())
        input.fail(problem);
    return problem.empty();
}

int BatchCommand::execute() {
    ProjectInput input(name(), m_err);
    input.setAllowSigned(m_removeSignature);
    if (!usable(input))
        return 2;
    auto codepage = input.codepage(m_handler.codepage());
    if (!codepage)
        return 2;
    auto options = m_handler.read(*codepage, input);
    if (!options)
        return 2;

    bool complete = true;
    auto project =
        input.load(m_paths, *codepage, complete, true,
                   m_dryRun ? ProjectInput::Reading::Whole : ProjectInput::Reading::WholeAndHold);
    if (!project)
        return 2;
    // Folders that could not be read are said and fail the run, but need not
    // hold back the rest: nothing in them could be written either way.
    if (!complete && !input.onlyFoldersSkipped()) {
        input.fail("the project could not be read completely; nothing was written");
        return 2;
    }
    BatchSettings settings;
    settings.mode = m_dryRun ? BatchMode::Diff : BatchMode::Write;
    settings.backup = m_backup;
    settings.keepTreated = m_json;
    settings.moduleFilter = options->moduleName;
    BatchPrinter printer(m_out, m_err, project->codepage(), settings.mode, settings.keepTreated);
    // A signal from here on stops the run where it is; it then says what it wrote.
    SignalCleanup::Handoff handoff;
    BatchPipeline pipeline(*project, settings, printer);
    const Codepage& projectCodepage = project->codepage();
    auto json = [&](const BatchPipeline::Totals& run) {
        return settings.keepTreated ? runJson(run.treated, run.failed, projectCodepage)
                                    : std::string();
    };
    if (auto locked = pipeline.lockFolders(); !locked) {
        if (SignalCleanup::interrupted())
            endInterrupted(m_out, m_err, pipeline.totals(), json(pipeline.totals()));
        m_err.format("trapline: %s: %s\n", displayPath(locked.error().source).c_str(),
                     locked.error().description.c_str());
        return 2;
    }

    VBE vbe(std::move(project));
    std::unique_ptr<BatchTreatment> work = treatment(vbe, *options, input);
    if (!work)
        return 2;
    pipeline.treatAll(*work);
    const BatchPipeline::Totals& run = pipeline.totals();
    if (run.interrupted) {
        pipeline.discard();
        endInterrupted(m_out, m_err, run, json(BatchPipeline::Totals{}));
    }
    if (std::string why = refusal(run, *options); !why.empty()) {
        pipeline.discard();
        input.fail(why);
        return 2;
    }
    if (run.selected == 0)
        input.fail(nothingToDo());
    pipeline.commit();
    // A signal that came during the last replacements stopped nothing, but the
    // run still says it was interrupted before it ends by that signal.
    if (run.interrupted || SignalCleanup::interrupted())
        endInterrupted(m_out, m_err, run, json(run));
    if (!complete)
        input.fail("some folders could not be read; what they hold was not treated");
    m_out.write(json(run));
    SignalCleanup::endByInterruption(); // a signal after the last file: end by it all the same
    return run.failed.empty() && run.unwritten == 0 && run.setAside == 0 && complete ? 0 : 1;
}

} // namespace trapline::cli
