#include "projectinput.h"

#include "component.h"
#include "projectloader.h"

namespace trapline::cli {

void ProjectInput::fail(const std::string& message) {
    m_err.format("trapline %s: %s\n", m_command.c_str(), message.c_str());
}

std::optional<Codepage> ProjectInput::codepage(const std::string& name) {
    auto cp = Codepage::open(name);
    if (!cp) {
        fail("--codepage: " + cp.error().description);
        return std::nullopt;
    }
    return *cp;
}

std::unique_ptr<Project> ProjectInput::load(const std::vector<std::string>& paths,
                                            const Codepage& codepage, bool& complete,
                                            bool deferContents, Reading reading) {
    ProjectLoader loader(codepage);
    loader.setDeferContents(deferContents);
    if (reading != Reading::Heads)
        loader.setReadWhole(reading == Reading::WholeAndHold);
    loader.setAllowSigned(m_allowSigned);
    auto project = loader.load(paths);
    for (const std::string& notice : loader.notices())
        m_err.format("trapline: %s\n", notice.c_str());
    size_t errors = 0, skipped = 0;
    for (const Diagnostic& d : loader.diagnostics()) {
        m_err.format("trapline: %s\n", d.text().c_str());
        errors += d.kind == Diagnostic::Kind::Error;
        skipped += d.kind == Diagnostic::Kind::SkippedFolder;
    }
    complete = errors == 0 && skipped == 0;
    m_onlyFoldersSkipped = errors == 0 && skipped > 0;
    if (!project)
        return nullptr;
    return std::move(*project);
}

std::optional<std::string> ProjectInput::moduleFilter(const Project& project,
                                                      const std::string& name) {
    if (name == "*")
        return name;
    // Compared as text: a document's module names are in its own code page,
    // which need not be the run's. The filter takes the stored name's bytes.
    const Components& components = project.VBComponents();
    for (long i = 1; i <= components.Count(); ++i) {
        const Component& c = **components.Item(i);
        if (c.codepage(project.codepage()).toUtf8(c.Name()) == name)
            return c.Name();
    }
    if (auto filter = project.codepage().fromUtf8(name); !filter)
        fail("--module: " + filter.error().description);
    else
        fail("no module named '" + name + "'");
    return std::nullopt;
}

} // namespace trapline::cli
