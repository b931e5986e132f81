#include "listcommand.h"

#include "arguments.h"
#include "json.h"
#include "proccatalogue.h"
#include "projectinput.h"
#include "stderrmessagebox.h"

namespace trapline::cli {
namespace {

const char* typeName(int type) {
    switch (type) {
    case 0:
        return "Sub";
    case 1:
        return "Function";
    default:
        return "Property";
    }
}

} // namespace

const char* ListCommand::usage() const {
    return R"USAGE(Usage: trapline list PATH... [options]

Lists the procedures of a VB6 project: for each, its module, its name (a
property procedure as "Name (Get)", "Name (Let)" or "Name (Set)"), its type
and whether it already holds an error trap ("On Error ").

PATH is a project (.vbp), a project group (.vbg, its startup project), a
folder (every module file below it) or module files (.bas .cls .frm .ctl
.pag .dob .dsr). Several PATHs make one project.

Options:
  --module NAME    only the module named NAME exactly (default "*", all)
  --subs           list Subs
  --functions      list Functions
  --properties     list property procedures
                   (with none of these three, every type is listed)
  --without-trap   leave out procedures that already hold "On Error "
  --json           print one JSON array of objects with the fields
                   ModuleName, ProcName, ProcType (0 Sub, 1 Function,
                   2 property), ProcKind (0 Sub/Function, 3 Get, 1 Let,
                   2 Set) and HasErrorTrap
  --codepage CP    code page of the files (default 1251)
  -h, --help       show this help

Without --json each procedure is one line: module, name, type and "trap"
or "-", separated by tabs.

Exit status: 0 on success; 2 for bad usage or input (a file that cannot
be read is named on stderr with its line; the rest is still listed).
)USAGE";
}

int ListCommand::execute(const std::vector<std::string>& args) {
    auto parsed = Arguments::parse(args, {{"module", true},
                                          {"subs", false},
                                          {"functions", false},
                                          {"properties", false},
                                          {"without-trap", false},
                                          {"json", false},
                                          {"codepage", true}});
    if (!parsed) {
        std::fprintf(m_err, "trapline list: %s\nTry 'trapline list --help'.\n",
                     parsed.error().description.c_str());
        return 2;
    }
    const Arguments& a = *parsed;
    if (a.positionals().empty()) {
        std::fprintf(m_err, "trapline list: no PATH given\nTry 'trapline list --help'.\n");
        return 2;
    }
    ProjectInput input("list", m_err);
    auto codepage = input.codepage(a.value("codepage", "1251"));
    if (!codepage)
        return 2;
    bool complete = true;
    auto project = input.load(a.positionals(), *codepage, complete);
    if (!project)
        return 2;
    auto moduleFilter = input.moduleFilter(*project, a.value("module", "*"));
    if (!moduleFilter)
        return 2;
    const int status = complete ? 0 : 2;
    VBE vbe(std::move(project));

    StderrMessageBox messages(m_err);
    ProcCatalogue catalogue(vbe, messages);
    catalogue.GetProcNames(*moduleFilter);

    const bool subs = a.has("subs"), functions = a.has("functions"),
               properties = a.has("properties");
    const bool anyType = !subs && !functions && !properties;
    const bool json = a.has("json");
    const Codepage& cp = *codepage;
    bool first = true;
    if (json)
        std::fputs("[", m_out);
    for (size_t j = 1; j < catalogue.Procs().size(); ++j) {
        const ProcInfo& p = catalogue.Procs()[j];
        if (a.has("without-trap") && p.HasErrorTrap)
            continue;
        bool typeChecked = (p.ProcType == 0 && subs) || (p.ProcType == 1 && functions) ||
                           (p.ProcType == 2 && properties);
        if (!anyType && !typeChecked)
            continue;
        std::string module = cp.toUtf8(p.ModuleName);
        std::string name = cp.toUtf8(p.ProcName);
        if (json) {
            std::fprintf(m_out,
                         "%s\n  {\"ModuleName\": %s, \"ProcName\": %s, \"ProcType\": %d, "
                         "\"ProcKind\": %d, \"HasErrorTrap\": %s}",
                         first ? "" : ",", jsonString(module).c_str(), jsonString(name).c_str(),
                         p.ProcType, p.ProcKind, p.HasErrorTrap ? "true" : "false");
        } else {
            std::fprintf(m_out, "%s\t%s\t%s\t%s\n", module.c_str(), name.c_str(),
                         typeName(p.ProcType), p.HasErrorTrap ? "trap" : "-");
        }
        first = false;
    }
    if (json)
        std::fputs(first ? "]\n" : "\n]\n", m_out);
    return status;
}

} // namespace trapline::cli
