#include "batchcommand.h"

#include "batchprinter.h"
#include "handleroptions.h"
#include "projectinput.h"

namespace trapline::cli {
namespace {

/// Checks the combinations of arguments that make no sense together.
bool usable(const Arguments& a, ProjectInput& input, const std::string& command) {
    std::string problem;
    if (a.positionals().empty())
        problem = "no PATH given\nTry 'trapline " + command + " --help'.";
    else if (a.has("header") != a.has("footer"))
        problem = "--header and --footer go together";
    else if (a.has("dry-run") && a.has("json"))
        problem = "--dry-run prints a diff; it does not go with --json";
    else if (a.has("dry-run") && a.has("backup"))
        problem = "--dry-run writes nothing, so --backup has nothing to keep";
    if (!problem.empty())
        input.fail(problem);
    return problem.empty();
}

/// Why a run that treated everything it could must still write nothing, or
/// empty when it may go on.
std::string refusal(const BatchPipeline::Totals& run, const InsertionOptions& options) {
    if (run.unreadable)
        return "some files could not be read; nothing was written";
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

} // namespace

int BatchCommand::execute(const std::vector<std::string>& args) {
    const std::string command = name();
    ProjectInput input(command, m_err);
    std::vector<Arguments::Option> table = HandlerOptions::table(hasTrapFilter());
    table.insert(table.end(), {{"dry-run", false}, {"backup", false}, {"json", false}});
    auto parsed = Arguments::parse(args, table);
    if (!parsed) {
        input.fail(parsed.error().description + "\nTry 'trapline " + command + " --help'.");
        return 2;
    }
    const Arguments& a = *parsed;
    if (!usable(a, input, command))
        return 2;
    auto codepage = input.codepage(a.value("codepage", "1251"));
    if (!codepage)
        return 2;
    auto options = HandlerOptions::read(a, *codepage, input);
    if (!options)
        return 2;

    bool complete = true;
    auto project = input.load(a.positionals(), *codepage, complete, true);
    if (!project)
        return 2;
    if (!complete) {
        input.fail("the project could not be read completely; nothing was written");
        return 2;
    }
    BatchSettings settings;
    settings.mode = a.has("dry-run") ? BatchMode::Diff : BatchMode::Write;
    settings.backup = a.has("backup");
    settings.keepTreated = a.has("json");
    settings.moduleFilter = *codepage->fromUtf8(options->moduleName);
    BatchPrinter printer(m_out, m_err, project->codepage(), settings.mode, settings.keepTreated);
    BatchPipeline pipeline(*project, settings, printer);
    if (auto locked = pipeline.lockFolders(); !locked) {
        std::fprintf(m_err, "trapline: %s: %s\n", displayPath(locked.error().source).c_str(),
                     locked.error().description.c_str());
        return 2;
    }

    const Codepage& projectCodepage = project->codepage();
    VBE vbe(std::move(project));
    std::unique_ptr<BatchTreatment> work = treatment(vbe, *options, input);
    if (!work)
        return 2;
    pipeline.treatAll(*work);
    const BatchPipeline::Totals& run = pipeline.totals();
    if (std::string why = refusal(run, *options); !why.empty()) {
        pipeline.discard();
        input.fail(why);
        return 2;
    }
    if (run.selected == 0)
        input.fail(nothingToDo());
    pipeline.commit();
    if (settings.keepTreated)
        std::fputs(runJson(run.treated, run.failed, projectCodepage).c_str(), m_out);
    return run.failed.empty() && run.unwritten == 0 ? 0 : 1;
}

} // namespace trapline::cli
