#include "refreshcommand.h"

#include "edittreatment.h"

namespace trapline::cli {

const char* RefreshCommand::usage() const {
    return R"USAGE(Usage: trapline refresh PATH... [options]

Brings the module and procedure names that `trapline insert` filled into
each chosen procedure's handler up to date, after the procedure or its
module was renamed, and changes nothing else. `insert`, a rename and
`refresh` give the same file as the rename and then `insert`.

Only a complete handler is refreshed, its trap right after the declaration
and its block right before the End statement, each as inserted but for the
names. One that was edited by hand, or of which only one part is there, is
left as it is and named on stderr with its line (exit status 1).

PATH is a project (.vbp), a project group (.vbg, its startup project), a
folder (every module file and Office document below it), module files or
Office documents (.xlsm .xltm .xlam .xlsb .docm .dotm .pptm .potm .ppsm
.ppam, an .xlsx/.pptx with a project, .xls, .doc, vbaProject.bin), each
module of a document one module of the project. Several PATHs make one
project.

Choosing procedures:
  --module NAME      only the module named NAME exactly (default "*", all)
  --proc NAME        only procedures of this display name, e.g. "Value (Let)"
  --subs, --functions, --properties
                     with "*": exactly one of these chooses only that type;
                     none or several choose every type

Which handler (the same options as insert's):
  --live             the handler was inserted as working code (by default
                     its lines are comments, starting with an apostrophe)
  --erl              the standard handler was inserted with --erl
  --header FILE --footer FILE
                     the handler came from these templates
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

The log ("Refreshed in Sub : Name" for each procedure whose file was
written) goes to stdout; messages go to stderr.

Exit status: 0 when every chosen handler's names are up to date now; 1
when some handler was left as it is or a file could not be written; 2 for
bad usage or input, in which case nothing is written.
)USAGE";
}

std::unique_ptr<BatchTreatment> RefreshCommand::treatment(VBE& vbe, const InsertionOptions& options,
                                                          ProjectInput& input) const {
    auto pattern = handlerPattern(options, vbe.ActiveVBProject()->codepage(), input);
    if (!pattern)
        return nullptr;
    return std::make_unique<EditTreatment>(vbe, options, std::move(*pattern),
                                           HandlerEditor::Action::Refresh);
}

} // namespace trapline::cli
