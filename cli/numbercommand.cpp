#include "numbercommand.h"

#include "clireporter.h"
#include "handleroptions.h"
#include "stderrmessagebox.h"

#include <CLI/CLI.hpp>
#include <charconv>

namespace trapline::cli {
namespace {

/// Numbers or unnumbers one file; each procedure left alone is named on
/// stderr with its line.
class NumberTreatment : public BatchTreatment {
public:
    NumberTreatment(VBE& vbe, const InsertionOptions& options, const NumberingOptions& numbering,
                    LineNumberer::Action action)
        : m_vbe(vbe), m_options(options), m_numbering(numbering), m_action(action) {}

    void treat(Component& component, FileOutcome& o) const override {
        StderrMessageBox messages(&o.messages);
        CliReporter reporter(o.log);
        size_t chosen = 0;
        RunSummary s = LineNumberer(m_vbe, messages, reporter)
                           .run(m_action, component, m_options, m_numbering, chosen);
        for (const RunSummary::Item& item : s.failed) {
            std::string hint;
            if (item.failure.find("holds line numbers already") != std::string::npos)
                hint = " (--renumber renumbers it)";
            o.messages += "trapline: " + shownComponent(component) + ":" +
                          std::to_string(item.line) + ": " + item.moduleName + "." + item.procName +
                          ": " + item.failure + hint + "\n";
        }
        o.chosen = chosen;
        o.treated = std::move(s.treated);
        o.failed = std::move(s.failed);
    }

private:
    VBE& m_vbe;
    const InsertionOptions& m_options;
    const NumberingOptions& m_numbering;
    LineNumberer::Action m_action;
};

/// A whole number from 1 to the highest line number, or nothing.
std::optional<long> lineNumberValue(const std::string& text) {
    long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 ||
        value > LineNumberer::kHighest)
        return std::nullopt;
    return value;
}

} // namespace

const char* NumberCommand::usage() const {
    // The two commands share what their paths are and their choosing and
    // output options.
    static constexpr const char* kPaths =
        R"USAGE(PATH is a project (.vbp), a project group (.vbg, its startup project), a
folder (every module file and Office document below it), module files or
Office documents (.xlsm .xltm .xlam .xlsb .docm .dotm .pptm .potm .ppsm
.ppam, an .xlsx/.pptx with a project, .xls, .doc, vbaProject.bin), each
module of a document one module of the project. Several PATHs make one
project.

)USAGE";
    static constexpr const char* kShared = R"USAGE(Choosing procedures:
  --module NAME      only the module named NAME exactly (default "*", all)
  --proc NAME        only procedures of this display name, e.g. "Value (Let)"
  --subs, --functions, --properties
                     with "*": exactly one of these chooses only that type;
                     none or several choose every type
  --codepage CP      code page of the project's files (default 1251)

Output:
  --dry-run          write nothing; print a unified diff for `patch -p0`
                     (the log then goes to stderr)
  --remove-signature go on over a signed Office document and remove its
                     signature (without it a signed project is refused)
  --backup           keep each replaced file as NAME.bak (or NAME.bak.1, …)
  --json             print {"treated": [...], "failed": [...]} instead of
                     the log lines
  -h, --help         show this help

)USAGE";
    static const std::string unnumber =
        R"USAGE(Usage: trapline unnumber PATH... [options]

Takes the line numbers out of the chosen procedures: a number at the start
of a statement line and the one blank, tab or ':' after it, nothing else.
`number` followed by `unnumber` gives back every file byte for byte.

A procedure with a jump to one of its numbers (GoTo 10, GoSub, Resume 10,
On x GoTo 10, 20, or If a Then 10) is left as it is and named on stderr
with its line (exit status 1): without the number the code would not
compile.

)USAGE" +
        std::string(kPaths) + kShared +
        R"USAGE(The log ("Unnumbered Sub : Name" for each procedure whose file was
written) goes to stdout; messages go to stderr.

Exit status: 0 when every chosen procedure was unnumbered (or held no
numbers); 1 when some was left as it is or a file could not be written;
2 for bad usage or input, in which case nothing is written.
)USAGE";
    static const std::string number =
        R"USAGE(Usage: trapline number PATH... [options]

Puts a line number in front of each statement line of the chosen
procedures, so that Erl tells on which line an error came: "10 " before
the line's own text, its leading blanks kept. `unnumber` takes them out
again, byte for byte.

Numbered are the lines that start a statement that runs, the inserted
handler's included. Not numbered: continuation lines, blank and comment
lines, #If and other directive lines, lines that start with a label,
Case, Else, ElseIf, End If, End Select and End With lines, Dim, Static
and Const, anything between Select Case and its first Case, and the
declaration and End statement.

A procedure that holds line numbers already, that would need a number
above 65529, or whose lines hold a second End statement after the one
that ends it, is left as it is and named on stderr with its line (exit
status 1).

)USAGE" +
        std::string(kPaths) + R"USAGE(Numbers:
  --start N          the first number in each procedure (default 10)
  --step N           how far apart the numbers are (default 10)
  --renumber         also renumber procedures that hold numbers already;
                     every jump to them (GoTo, GoSub, Resume N, each target
                     of On x GoTo, a number after Then or Else) follows
                     its line, as does a number Erl is compared with
                     (Erl = 20, Erl <> 20, Case 20 in Select Case Erl); a
                     procedure that compares Erl otherwise (Erl > 20,
                     Case 10 To 30) is left as it is

)USAGE" +
        kShared + R"USAGE(The log ("Numbered Sub : Name" for each procedure whose file was written)
goes to stdout; messages go to stderr.

Exit status: 0 when every chosen procedure was numbered (or had nothing
to number); 1 when some was left as it is or a file could not be
written; 2 for bad usage or input, such as a --start or --step that is
not a whole number from 1 to 65529, in which case nothing is written.
)USAGE";
    return (m_action == LineNumberer::Action::Unnumber ? unnumber : number).c_str();
}

void NumberCommand::define(CLI::App& app) {
    BatchCommand::define(app);
    if (m_action != LineNumberer::Action::Number)
        return;
    app.add_option("--start", m_start);
    app.add_option("--step", m_step);
    app.add_flag("--renumber", m_renumber);
}

int NumberCommand::execute() {
    if (m_action == LineNumberer::Action::Number) {
        for (auto [option, text, value] : {std::tuple{"--start", &m_start, &m_numbering.start},
                                           std::tuple{"--step", &m_step, &m_numbering.step}}) {
            auto parsed = lineNumberValue(*text);
            if (!parsed) {
                m_err.format("trapline number: %s must be a whole number from 1 to %ld, not "
                             "'%s'\n",
                             option, LineNumberer::kHighest, text->c_str());
                return 2;
            }
            *value = *parsed;
        }
        m_numbering.renumber = m_renumber;
    }
    return BatchCommand::execute();
}

std::unique_ptr<BatchTreatment> NumberCommand::treatment(VBE& vbe, const InsertionOptions& options,
                                                         ProjectInput&) const {
    return std::make_unique<NumberTreatment>(vbe, options, m_numbering, m_action);
}

const char* NumberCommand::nothingToDo() const {
    return m_action == LineNumberer::Action::Number ? "no statement line to number; nothing to do"
                                                    : "no line numbers found; nothing to do";
}

} // namespace trapline::cli
