#pragma once

#include "codepage.h"
#include "project.h"
#include "result.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace trapline {

/// A problem with one input file; `line` is 0 when it concerns the whole file.
struct Diagnostic {
    std::string file;
    long line = 0;
    std::string message;
    /// "file:line: message" (or "file: message").
    std::string text() const;
};

/// Builds one project from what the user names: a .vbp, a .vbg (its startup
/// project), a folder (every module file below it) or single module files.
///
/// A file that cannot be used (missing, unreadable, binary, with lines ended
/// by CR alone, a .vbp line naming a missing file, a group whose startup
/// project is no .vbp) becomes a diagnostic naming the file and line; the rest
/// of the project still loads.
class ProjectLoader {
public:
    explicit ProjectLoader(Codepage codepage = Codepage()) : m_codepage(std::move(codepage)) {}

    /// Fails only when none of `paths` gave a project to work on.
    Result<std::unique_ptr<Project>> load(const std::vector<std::string>& paths);

    const std::vector<Diagnostic>& diagnostics() const { return m_diagnostics; }

    /// Components are made without their code, which `Component::load()`
    /// reads later: a large project can then be treated one file at a time.
    void setDeferContents(bool defer) { m_defer = defer; }

    /// Finds a path written Windows-style (backslashes, any letter case,
    /// relative to `folder`) on this file system. Fails with 53 ("file not
    /// found") when it is not there, with 70 ("permission denied", naming the
    /// folder) when a folder on the way may not be searched.
    static Result<std::string> resolve(const std::string& folder, const std::string& windowsPath);

    /// The component type a module file's extension stands for, if any.
    static std::optional<ComponentType> typeForExtension(const std::string& path);

private:
    void loadVbp(const std::string& path, Project& project);
    void loadVbg(const std::string& path, Project& project);
    void loadFolder(const std::string& path, Project& project);
    void loadModule(const std::string& path, ComponentType type, const std::string& name,
                    Project& project, const std::string& listedIn, long listedLine);
    void report(std::string file, long line, std::string message);

    Codepage m_codepage;
    std::vector<Diagnostic> m_diagnostics;
    std::set<std::pair<uint64_t, uint64_t>> m_loaded; ///< device and inode
    bool m_defer = false;
};

} // namespace trapline
