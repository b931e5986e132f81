#include "removecommand.h"

#include "edittreatment.h"

namespace trapline::cli {

const char* RemoveCommand::usage() const {
    return R"USAGE(Usage: trapline remove PATH... [options]

Takes out the error handlers that `trapline insert` put in: the trap right
after each chosen procedure's declaration and the handler block right
before its End statement, exactly as inserted. `insert` followed by
`remove` with the same options gives back every file byte for byte.

Only a complete handler is removed. One that was edited by hand, or of
which only one part is there, is left as it is and named on stderr with
its line (exit status 1).

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
                     the handler came from these templates; "???",
                     "#MODULE#" and "#PROC#" match whatever keyword or name
                     the insertion could have filled in
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

The log ("Removed from Sub : Name" for each procedure whose file was
written) goes to stdout; messages go to stderr.

Exit status: 0 when every chosen handler was removed (or there was none);
1 when some handler was left as it is or a file could not be written; 2
for bad usage or input, in which case nothing is written.
)USAGE";
}

std::unique_ptr<BatchTreatment> RemoveCommand::treatment(VBE& vbe, const InsertionOptions& options,
                                                         ProjectInput& input) const {
    auto pattern = handlerPattern(options, vbe.ActiveVBProject()->codepage(), input);
    if (!pattern)
        return nullptr;
    return std::make_unique<EditTreatment>(vbe, options, std::move(*pattern),
                                           HandlerEditor::Action::Remove);
}

} // namespace trapline::cli
