#include "listcommand.h"

#include "component.h"
#include "json.h"
#include "proccatalogue.h"
#include "projectinput.h"
#include "stderrmessagebox.h"

#include <CLI/CLI.hpp>

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
folder (every module file and Office document below it), module files
(.bas .cls .frm .ctl .pag .dob .dsr) or Office documents (.xlsm .xltm
.xlam .xlsb .docm .dotm .pptm .potm .ppsm .ppam, an .xlsx/.pptx with a
project, .xls, .doc, vbaProject.bin). Several PATHs make one project.

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
  --remove-signature
                   read a signed Office document's project as the other
                   commands do with it (list writes nothing, so no
                   signature is removed); without it a signed project is
                   refused
  -h, --help       show this help

Without --json each procedure is one line: module, name, type and "trap"
or "-", separated by tabs.

Exit status: 0 on success; 2 for bad usage or input (a file that cannot
be read is named on stderr with its line; the rest is still listed).
)USAGE";
}

void ListCommand::define(CLI::App& app) {
    app.add_option("PATH", m_paths);
    app.add_option("--module", m_module);
    app.add_flag("--subs", m_subs);
    app.add_flag("--functions", m_functions);
    app.add_flag("--properties", m_properties);
    app.add_flag("--without-trap", m_withoutTrap);
    app.add_flag("--json", m_json);
    app.add_flag("--remove-signature", m_removeSignature);
    app.add_option("--codepage", m_codepage);
}

int ListCommand::execute() {
    if (m_paths.empty()) {
        m_err.format("trapline list: no PATH given\nTry 'trapline list --help'.\n");
        return 2;
    }
    ProjectInput input("list", m_err);
    input.setAllowSigned(m_removeSignature);
    auto codepage = input.codepage(m_codepage);
    if (!codepage)
        return 2;
    bool complete = true;
    auto project = input.load(m_paths, *codepage, complete);
    if (!project)
        return 2;
    auto moduleFilter = input.moduleFilter(*project, m_module);
    if (!moduleFilter)
        return 2;
    const int status = complete ? 0 : 2;
    VBE vbe(std::move(project));

    // Collected and then written as the command's other text is.
    std::string said;
    StderrMessageBox messages(&said);
    ProcCatalogue catalogue(vbe, messages);
    catalogue.GetProcNames(*moduleFilter);
    m_err.write(said);

    const bool anyType = !m_subs && !m_functions && !m_properties;
    Json list = Json::array();
    for (size_t j = 1; j < catalogue.Procs().size(); ++j) {
        const ProcInfo& p = catalogue.Procs()[j];
        if (m_withoutTrap && p.HasErrorTrap)
            continue;
        bool typeChecked = (p.ProcType == 0 && m_subs) || (p.ProcType == 1 && m_functions) ||
                           (p.ProcType == 2 && m_properties);
        if (!anyType && !typeChecked)
            continue;
        // A document's names are in its own code page, whatever the run's.
        const Codepage& cp = p.component ? p.component->codepage(*codepage) : *codepage;
        std::string module = cp.toUtf8(p.ModuleName);
        std::string name = cp.toUtf8(p.ProcName);
        if (m_json)
            list.push_back(Json{{"ModuleName", module},
                                {"ProcName", name},
                                {"ProcType", p.ProcType},
                                {"ProcKind", p.ProcKind},
                                {"HasErrorTrap", p.HasErrorTrap}});
        else
            m_out.format("%s\t%s\t%s\t%s\n", module.c_str(), name.c_str(), typeName(p.ProcType),
                         p.HasErrorTrap ? "trap" : "-");
    }
    if (m_json)
        m_out.write(jsonText(list));
    return status;
}

} // namespace trapline::cli
