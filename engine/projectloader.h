#pragma once

#include "codepage.h"
#include "project.h"
#include "result.h"

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace trapline {

/// A problem with one input file; `line` is 0 when it concerns the whole file.
struct Diagnostic {
    /// What the problem means for the project.
    enum class Kind {
        Error,         ///< the file is left out, and the project is incomplete
        SkippedFolder, ///< a folder that could not be listed is left out; the rest loads
    };
    std::string file;
    long line = 0;
    std::string message;
    Kind kind = Kind::Error;
    /// "file:line: message" (or "file: message").
    std::string text() const;
};

/// Builds one project from what the user names: a .vbp, a .vbg (its startup
/// project), a folder (every module file and Office document below it),
/// single module files or Office documents (each module one component; a
/// document that is encrypted, signed, locked or broken is a diagnostic
/// naming it and why).
///
/// A file that cannot be used (missing, unreadable, binary, with lines ended
/// by CR alone, a .vbp line naming a missing file or one that several names
/// differing only in letter case match, a listed file whose head does not name
/// it as a VB module, a group whose startup project is no .vbp) becomes a
/// diagnostic naming the file and line; the rest of the project still loads.
/// A folder below a named folder that cannot be read or searched is reported
/// as skipped. A listed file outside the .vbp's folder loads, with a notice.
class ProjectLoader {
public:
    explicit ProjectLoader(Codepage codepage = Codepage()) : m_codepage(std::move(codepage)) {}

    /// Fails only when none of `paths` gave a project to work on.
    Result<std::unique_ptr<Project>> load(const std::vector<std::string>& paths);

    const std::vector<Diagnostic>& diagnostics() const { return m_diagnostics; }
    /// What the user should know of files that did load, one sentence each,
    /// such as "../shared/x.bas lies outside the project's folder".
    const std::vector<std::string>& notices() const { return m_notices; }

    /// Components are made without their code, which `Component::load()`
    /// reads later: a large project can then be treated one file at a time.
    void setDeferContents(bool defer) { m_defer = defer; }

    /// With deferred contents, for a run that goes on to treat every file:
    /// each module file is read whole where its head is read (up to a budget
    /// of memory), and Component::load() takes those bytes instead of reading
    /// it again. With `hold`, each file also stays open for its replacement
    /// (see HeldFile).
    void setReadWhole(bool hold) {
        m_readWhole = true;
        m_hold = hold;
    }

    /// Lets a signed Office document load; writing it then removes its
    /// signature. Without it a signed project is refused by name.
    void setAllowSigned(bool allow) { m_allowSigned = allow; }

    /// Finds a path written Windows-style (backslashes, any letter case,
    /// relative to `folder`) on this file system. Fails with 53 ("file not
    /// found") when it is not there, with 70 ("permission denied", naming the
    /// folder) when a folder on the way may not be searched, and with 75,
    /// naming the candidates, when several names in one folder differ only in
    /// letter case from the one written (Windows would hold only one of them).
    static Result<std::string> resolve(const std::string& folder, const std::string& windowsPath);

    /// The component type a module file's extension stands for, if any.
    static std::optional<ComponentType> typeForExtension(const std::string& path);
    /// Whether a folder's file named `name` is taken for a document.
    static bool isFolderDocument(const std::string& name);

private:
    /// Each folder's names by their lower-case spelling.
    using Listings =
        std::map<std::string, std::unordered_map<std::string, std::vector<std::string>>>;

    static Result<std::string> resolve(const std::string& folder, const std::string& windowsPath,
                                       Listings& listings);
    void loadVbp(const std::string& path, Project& project);
    void loadVbg(const std::string& path, Project& project);
    void loadFolder(const std::string& path, Project& project);
    /// Each module of the Office document at `path` becomes a component. A
    /// document without a project is said only when it was `named`.
    bool loadDocument(const std::string& path, Project& project, bool named);
    /// A module file's first bytes and the name its head gives, read ahead
    /// of loadModule() on another thread when contents are deferred.
    struct Head;
    Head readHead(const std::string& path) const;
    /// Whether the file was added (false also when it was added before).
    /// `head`, when given, is what readHead() gave for the file.
    bool loadModule(const std::string& path, ComponentType type, const std::string& name,
                    Project& project, const std::string& listedIn, long listedLine,
                    Head* head = nullptr);
    void report(std::string file, long line, std::string message,
                Diagnostic::Kind kind = Diagnostic::Kind::Error);

    Codepage m_codepage;
    std::vector<Diagnostic> m_diagnostics;
    std::vector<std::string> m_notices;
    std::set<std::pair<uint64_t, uint64_t>> m_loaded; ///< device and inode
    Listings m_listings;                              ///< the folders .vbp paths were looked up in
    bool m_defer = false;
    bool m_allowSigned = false;
    bool m_readWhole = false;
    bool m_hold = false;
    mutable std::atomic<size_t> m_wholeBytes{0}; ///< read whole so far, on any thread
};

} // namespace trapline
