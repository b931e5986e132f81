#include "checkcommand.h"

#include "batchprinter.h"
#include "checkreport.h"
#include "edittreatment.h"
#include "handlercheck.h"
#include "handleroptions.h"
#include "linenumberer.h"
#include "stderrmessagebox.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>

namespace trapline::cli {
namespace {

/// Checks one file, changing nothing.
class CheckTreatment : public BatchTreatment {
public:
    CheckTreatment(VBE& vbe, const InsertionOptions& options, HandlerPattern pattern,
                   bool lineNumbers)
        : m_vbe(vbe), m_options(options), m_pattern(std::move(pattern)),
          m_lineNumbers(lineNumbers) {}

    void treat(Component& component, FileOutcome& o) const override {
        StderrMessageBox messages(&o.messages);
        o.findings = HandlerCheck(m_vbe, m_pattern, messages).run(component, m_options, o.chosen);
        if (!m_lineNumbers)
            return;
        NullReporter reporter;
        std::vector<Finding> more =
            LineNumberer(m_vbe, messages, reporter).check(component, m_options);
        o.findings.insert(o.findings.end(), std::make_move_iterator(more.begin()),
                          std::make_move_iterator(more.end()));
    }

private:
    VBE& m_vbe;
    const InsertionOptions& m_options;
    HandlerPattern m_pattern;
    bool m_lineNumbers;
};

/// Only what goes wrong is said: a check prints its findings, not a log.
class CheckListener : public BatchListener {
public:
    /// Messages go to `err`, the progress line to `console`.
    CheckListener(TextOut& err, std::FILE* console) : m_err(err), m_progress(console) {}
    void progress(size_t done, size_t total) override { m_progress.show(done, total); }
    void treated(FileOutcome& o) override {
        if (!o.loadError.empty() && !o.saidBefore)
            m_err.format("trapline: %s: %s\n", shownOutcome(o).c_str(), o.loadError.c_str());
        m_err.write(o.messages);
    }

private:
    TextOut& m_err;
    ProgressLine m_progress;
};

} // namespace

const char* CheckCommand::usage() const {
    return R"USAGE(Usage: trapline check PATH... [options]

Reports, without changing anything, every procedure that `trapline insert`
with the same options would put a handler into (missing-handler), every
procedure it would choose but could not treat, such as one written on one
line (cannot-insert), and every inserted handler whose module or procedure
name is no longer the procedure's (stale-handler-name; see `trapline
refresh`). So a check passes exactly when insert has nothing to do.
With --line-numbers it also reports each chosen procedure that has
statement lines without a line number (unnumbered-line; see `trapline
number`).

PATH is a project (.vbp), a project group (.vbg, its startup project), a
folder (every module file and Office document below it), module files or
Office documents (.xlsm .xltm .xlam .xlsb .docm .dotm .pptm .potm .ppsm
.ppam, an .xlsx/.pptx with a project, .xls, .doc, vbaProject.bin), each
module of a document one module of the project. Several PATHs make one
project.

Options, as for insert:
  --module NAME      only the module named NAME exactly (default "*", all)
  --proc NAME        only procedures of this display name, e.g. "Value (Let)"
  --subs, --functions, --properties
                     with "*": exactly one of these chooses only that type
  --include-trapped  with "*": also report procedures that already hold
                     "On Error " (as insert would treat them)
  --live             handlers are working code, not comments
  --erl              the standard handler passes Erl (insert --erl)
  --header FILE --footer FILE
                     handlers come from these templates
  --codepage CP      code page of the project's files (default 1251)
  --line-numbers     also report statement lines without a line number
  --remove-signature read a signed Office document's project as the other
                     commands do with it (a check writes nothing, so no
                     signature is removed); without it a signed project is
                     refused

Output:
  --format FORMAT    text (default): one line per finding,
                     "FILE:LINE: message [rule]", LINE counted as an editor
                     shows the file; json: {"findings": [...]}; sarif: a
                     SARIF 2.1.0 log for code-scanning services, file names
                     relative to the current folder
  -h, --help         show this help

Exit status: 0 when there is nothing to report, 1 when there is, 2 for bad
usage or input (a file that cannot be read, a --module or --proc that
names nothing); with --format sarif the log then records a failed run and
the messages.
)USAGE";
}

void CheckCommand::define(CLI::App& app) {
    app.add_option("PATH", m_paths);
    m_handler.define(app, true);
    app.add_option("--format", m_format);
    app.add_flag("--line-numbers", m_lineNumbers);
    app.add_flag("--remove-signature", m_removeSignature);
}

int CheckCommand::execute() {
    if (m_format != "sarif")
        return check(m_err);
    // A code-scanning service reads only the log: a check that could not run
    // must say so, and why, there as well as on stderr.
    TextOut messages;
    const int status = check(messages);
    const std::string& text = messages.collected();
    m_err.write(text);
    if (status == 2)
        m_out.write(CheckReport::sarifFailure(text));
    return status;
}

void CheckCommand::refused(const std::vector<std::string>& args, const std::string& message) {
    // Arguments that could not be read may still have asked for SARIF.
    bool sarif = false;
    for (size_t k = 0; k < args.size() && args[k] != "--"; ++k)
        if (args[k] == "--format=sarif" || (args[k] == "--format" && k + 1 < args.size()))
            sarif = args[k] == "--format=sarif" || args[k + 1] == "sarif";
    if (sarif)
        m_out.write(CheckReport::sarifFailure(message));
}

int CheckCommand::check(TextOut& err) {
    ProjectInput input("check", err);
    input.setAllowSigned(m_removeSignature);
    const std::string& format = m_format;
    if (m_paths.empty()) {
        input.fail("no PATH given\nTry 'trapline check --help'.");
        return 2;
    }
    if (!m_handler.templatesPaired()) {
        input.fail("--header and --footer go together");
        return 2;
    }
    if (format != "text" && format != "json" && format != "sarif") {
        input.fail("--format must be text, json or sarif, not '" + format + "'");
        return 2;
    }
    auto codepage = input.codepage(m_handler.codepage());
    if (!codepage)
        return 2;
    auto options = m_handler.read(*codepage, input);
    if (!options)
        return 2;
    auto pattern = handlerPattern(*options, *codepage, input);
    if (!pattern)
        return 2;
    bool complete = true;
    auto project = input.load(m_paths, *codepage, complete, true, ProjectInput::Reading::Whole);
    if (!project)
        return 2;

    BatchSettings settings;
    settings.mode = BatchMode::ReadOnly;
    settings.moduleFilter = options->moduleName;
    CheckListener listener(err, m_err.stream());
    BatchPipeline pipeline(*project, settings, listener);
    const Codepage& projectCodepage = project->codepage();
    VBE vbe(std::move(project));
    pipeline.treatAll(CheckTreatment(vbe, *options, std::move(*pattern), m_lineNumbers));
    const BatchPipeline::Totals& run = pipeline.totals();
    if (!complete || run.unreadable) {
        input.fail("some files could not be read; the check is incomplete");
        return 2;
    }
    if (!run.matched) {
        input.fail("no module named '" + options->moduleName + "'");
        return 2;
    }
    if (run.chosen == 0 && options->procName != "*") {
        input.fail("no procedure named '" + options->procName + "'");
        return 2;
    }
    CheckReport report(run.findings, projectCodepage);
    const std::string out = format == "sarif"  ? report.sarif()
                            : format == "json" ? report.json()
                                               : report.text();
    m_out.write(out);
    return run.findings.empty() ? 0 : 1;
}

} // namespace trapline::cli
