#include "insertcommand.h"

#include "clireporter.h"
#include "insertionrun.h"
#include "stderrmessagebox.h"

namespace trapline::cli {
namespace {

/// Inserts into one file as the window's OK button would into its module.
class InsertTreatment : public BatchTreatment {
public:
    InsertTreatment(VBE& vbe, const InsertionOptions& options) : m_vbe(vbe), m_options(options) {}

    void treat(Component& component, FileOutcome& o) const override {
        StderrMessageBox messages(&o.messages);
        CliReporter reporter(o.log);
        InsertionOptions mine = m_options;
        mine.component = &component;
        RunSummary s = InsertionRun(m_vbe, messages, reporter).run(mine);
        o.chosen = s.treated.size() + s.failed.size();
        o.treated = std::move(s.treated);
        o.failed = std::move(s.failed);
    }

private:
    VBE& m_vbe;
    const InsertionOptions& m_options;
};

} // namespace

const char* InsertCommand::usage() const {
    return R"USAGE(Usage: trapline insert PATH... [options]

Puts an error trap after the declaration of each chosen procedure and a
handler before its End statement, and writes the changed files back.

PATH is a project (.vbp), a project group (.vbg, its startup project), a
folder (every module file and Office document below it), module files or
Office documents (.xlsm .xltm .xlam .xlsb .docm .dotm .pptm .potm .ppsm
.ppam, an .xlsx/.pptx with a project, .xls, .doc, vbaProject.bin), each
module of a document one module of the project. Several PATHs make one
project.

Choosing procedures:
  --module NAME      only the module named NAME exactly (default "*", all)
  --proc NAME        only procedures of this display name, e.g. "Value (Let)"
                     (default "*": every procedure that passes the filters)
  --subs, --functions, --properties
                     with "*": exactly one of these treats only that type;
                     none or several treat every type
  --include-trapped  with "*": also treat procedures that already hold
                     "On Error " (left out by default)

What goes in:
  --live             insert working code (by default every inserted line is
                     a comment, starting with an apostrophe)
  --erl              the standard handler also passes the line Erl names:
                     MyErrorHandler "Module1.Foo, line " & Erl (Erl names
                     numbered lines only: see `trapline number`)
  --header FILE --footer FILE
                     the user's templates instead of the standard handler;
                     "???", "#MODULE#" and "#PROC#" are replaced by the
                     procedure's keyword, module and display name
  --codepage CP      code page of the project's files (default 1251)

Output:
  --dry-run          write nothing; print a unified diff that `patch -p0`,
                     run in this folder, applies (the log then goes to
                     stderr, so that stdout holds the diff alone)
  --remove-signature go on over a signed Office document and remove its
                     signature (without it a signed project is refused)
  --backup           keep each replaced file as NAME.bak (or NAME.bak.1, …
                     when that name is taken: an existing file is never
                     overwritten, and the name used is said on stderr)
  --json             print one JSON object {"treated": [...], "failed": [...]}
                     instead of the log lines; a procedure the module defines
                     more than once (versions under #If) gives an item per
                     definition, with the "Line" of its declaration
  -h, --help         show this help

The log ("Вставлено в Sub : Name" for each treated procedure whose file
was written; once per definition) goes to stdout; messages go to stderr.
Nothing is asked.

Another trapline run writing in the same folders is waited for. A file
that changed on disk since it was read is never overwritten.

Exit status: 0 when every selected procedure was treated (or none was
selected); 1 when some failed or a file could not be written (each is
named on stderr); 2 for bad usage or input, such as a --module or --proc
that names nothing, in which case nothing is written.
)USAGE";
}

std::unique_ptr<BatchTreatment> InsertCommand::treatment(VBE& vbe, const InsertionOptions& options,
                                                         ProjectInput&) const {
    return std::make_unique<InsertTreatment>(vbe, options);
}

} // namespace trapline::cli
