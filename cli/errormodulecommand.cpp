#include "errormodulecommand.h"

#include "platform/filesystem.h"

#include "errormodule.h"
#include "projectinput.h"
#include "stderrmessagebox.h"

#include <CLI/CLI.hpp>

namespace trapline::cli {

const char* ErrorModuleCommand::usage() const {
    return R"USAGE(Usage: trapline add-error-module PROJECT.vbp [--codepage CP]
       trapline add-error-module DOCUMENT [--codepage CP] [--remove-signature]

Adds the standard module mdl_Error, holding MyErrorHandler (the routine the
standard handler calls), to the project: a new file mdl_Error.bas next to
the .vbp, listed there with a Module= line; the .vbp's other lines stay as
they were. A project that has a module named mdl_Error is left alone.
Given an Office document (.xlsm .docm .pptm .xls .doc ...), the module is
added to the document's VBA project and the document is written whole.

Options:
  --codepage CP        code page of the project's files (default 1251)
  --remove-signature   go on over a signed document's project and remove its
                       signature (without it a signed project is refused)
  -h, --help           show this help

Exit status: 0 when the module was added or was there already; 1 when it
could not be written; 2 for bad usage or input.
)USAGE";
}

void ErrorModuleCommand::define(CLI::App& app) {
    app.add_option("PATH", m_paths);
    app.add_option("--codepage", m_codepage);
    app.add_flag("--remove-signature", m_removeSignature);
}

int ErrorModuleCommand::execute() {
    ProjectInput input("add-error-module", m_err);
    const auto& paths = m_paths;
    const bool document = paths.size() == 1 && OfficeDocument::isDocumentPath(paths[0]);
    if (paths.size() != 1 ||
        ((paths[0].size() < 4 || paths[0].compare(paths[0].size() - 4, 4, ".vbp") != 0) &&
         !document)) {
        input.fail("name exactly one project file (.vbp) or Office document");
        return 2;
    }
    input.setAllowSigned(m_removeSignature);
    auto codepage = input.codepage(m_codepage);
    if (!codepage)
        return 2;
    bool complete = true;
    auto project = input.load(paths, *codepage, complete);
    if (!project)
        return 2;
    if (!complete) {
        input.fail("the project could not be read completely; nothing was written");
        return 2;
    }
    Project& projectRef = *project;
    VBE vbe(std::move(project));
    // Collected and then written as the command's other text is.
    std::string said;
    StderrMessageBox messages(&said);
    auto added = ErrorModuleInstaller::install(vbe, messages);
    m_err.write(said);
    if (!added) {
        input.fail(added.error().description);
        return 1;
    }
    if (!*added)
        return 0;
    std::vector<Error> problems = projectRef.save();
    bool refused = false; // a document not to be changed now, as an unreadable one
    for (const Error& e : problems) {
        m_err.format("trapline: %s: %s\n", e.source.c_str(), e.description.c_str());
        refused = refused || e.number == errors::DocumentRefused;
    }
    if (!problems.empty())
        return refused ? 2 : 1;
    // Named as given, with '/' between the parts as on every system.
    auto shown = [](const std::string& path) { return platform::fromPath(platform::toPath(path)); };
    if (document)
        m_out.format("added %s to %s\n", ErrorModuleInstaller::kModuleName,
                     shown(paths[0]).c_str());
    else
        m_out.format("added %s to %s\n", shown((*added)->path()).c_str(),
                     shown(projectRef.fileName()).c_str());
    return 0;
}

} // namespace trapline::cli
