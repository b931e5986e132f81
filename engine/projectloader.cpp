#include "projectloader.h"

#include "diskfile.h"
#include "officedocument.h"
#include "orderedpool.h"
#include "unifieddiff.h"
#include "vbpfile.h"
#include "vbsyntax.h"

#include "platform/filesystem.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace trapline {
namespace {

/// The name a module file gives itself (VB_Name), read from the head at the
/// top of the file only; empty when the head does not say. The head ends at
/// the first line after its Attribute lines; a file without them is given up
/// on after a bounded read, as a form's Begin block is never that long.
std::string headNameIn(std::istream& in) {
    std::string line;
    bool inAttributes = false;
    size_t read = 0;
    constexpr size_t kLimit = 1 << 20;
    for (bool first = true; read < kLimit && std::getline(in, line); first = false) {
        read += line.size() + 1;
        if (first && line.starts_with("\xEF\xBB\xBF"))
            line.erase(0, 3);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (auto name = vb::moduleAttribute(line, "VB_Name"))
            return *name;
        const bool attribute = vb::equalsNoCase(line.substr(0, 10), "Attribute ");
        if (inAttributes && !attribute)
            break;
        inAttributes = attribute;
    }
    return {};
}

std::string headNameOf(const std::string& path) {
    std::ifstream in(platform::toPath(path), std::ios::binary);
    return headNameIn(in);
}

std::string headNameOfBytes(const std::string& bytes) {
    std::istringstream in(bytes.substr(0, 1 << 20)); // no head is longer
    return headNameIn(in);
}

/// The first bytes of a file read to find its name: a module's head is a line
/// or two, a form's Begin block rarely longer than this.
constexpr size_t kHeadPiece = 4096;

/// The name a file gives itself, from `start`, its first bytes (its whole
/// bytes when shorter than `size`); the rest of the file is read only when
/// those end before its head does.
std::string headNameFrom(const std::string& path, const std::string& start, uint64_t size) {
    if (start.size() >= size)
        return headNameOfBytes(start);
    // Only whole lines: a name cut short must not pass for the name.
    const size_t whole = start.rfind('\n');
    if (whole != std::string::npos)
        if (std::string name = headNameOfBytes(start.substr(0, whole + 1)); !name.empty())
            return name;
    return headNameOf(path);
}

/// Whether the file `path` leads to, through every link on the way, lies in
/// `realFolder` (itself with its links followed): a module reached through a
/// linked folder may be written far from the project.
bool realPathWithin(const std::string& path, const fs::path& realFolder) {
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(fs::absolute(platform::toPath(path), ec), ec);
    if (ec)
        return true; // nothing better to go on than the path as written
    auto [f, r] = std::mismatch(realFolder.begin(), realFolder.end(), real.begin(), real.end());
    return f == realFolder.end() || (std::next(f) == realFolder.end() && f->empty());
}

/// Splits a text file into lines, without their line ends.
std::vector<std::string> textLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t nl = bytes.find('\n', pos);
        size_t end = nl == std::string::npos ? bytes.size() : nl;
        std::string line = bytes.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        pos = end + 1;
    }
    return lines;
}

std::string folderOf(const std::string& path) {
    return platform::parentFolder(path);
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder == ".")
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

} // namespace

struct ProjectLoader::Head {
    std::optional<DiskFile::Contents> start; ///< empty when it could not be read
    std::string name;                        ///< empty when the head names none
};

std::string Diagnostic::text() const {
    if (line > 0)
        return file + ":" + std::to_string(line) + ": " + message;
    return file + ": " + message;
}

void ProjectLoader::report(std::string file, long line, std::string message,
                           Diagnostic::Kind kind) {
    m_diagnostics.push_back(Diagnostic{std::move(file), line, std::move(message), kind});
}

std::optional<ComponentType> ProjectLoader::typeForExtension(const std::string& path) {
    struct Known {
        const char* extension;
        ComponentType type;
    };
    static constexpr Known kExtensions[] = {
        {".bas", ComponentType::StdModule},    {".cls", ComponentType::ClassModule},
        {".frm", ComponentType::Form},         {".ctl", ComponentType::UserControl},
        {".pag", ComponentType::PropertyPage}, {".dob", ComponentType::UserDocument},
        {".dsr", ComponentType::Designer},
    };
    std::string ext = vb::lowerAscii(platform::fromPath(platform::toPath(path).extension()));
    for (const Known& k : kExtensions)
        if (ext == k.extension)
            return k.type;
    return std::nullopt;
}

Result<std::string> ProjectLoader::resolve(const std::string& folder,
                                           const std::string& windowsPath) {
    Listings listings;
    return resolve(folder, windowsPath, listings);
}

Result<std::string> ProjectLoader::resolve(const std::string& folder,
                                           const std::string& windowsPath, Listings& listings) {
    auto notFound = [] {
        return makeError(errors::FileNotFound, "ProjectLoader", "file not found");
    };
    // A folder that may not be searched hides what is in it; saying "not
    // found" would send the user looking for a file that is there.
    auto denied = [](const std::string& in) {
        return makeError(errors::PermissionDenied, "ProjectLoader",
                         "permission denied: the folder " + in + " cannot be searched");
    };
    std::string path = windowsPath;
    std::replace(path.begin(), path.end(), '\\', '/');
    std::string current = folder;
    size_t pos = 0;
    if (platform::isAbsolute(path)) {
        // From the root: "/", or on Windows a drive ("C:/") or a share
        // ("//server/share/").
        const size_t server = path.rfind("//", 0) == 0 ? path.find('/', 2) : std::string::npos;
        pos = path[0] == '/' && server == std::string::npos ? 1
              : server != std::string::npos                 ? path.find('/', server + 1)
                                                            : 3;
        pos = std::min(pos, path.size());
        current = path.substr(0, pos);
    } else if ((path.size() >= 2 && path[1] == ':') || path.rfind("//", 0) == 0) {
        // A drive letter or UNC path names a disk this system does not have.
        return notFound();
    }
    std::error_code ec;
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        std::string segment =
            path.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
        pos = slash == std::string::npos ? path.size() + 1 : slash + 1;
        if (segment.empty() || segment == ".")
            continue;
        if (segment == "..") {
            current = joinPath(current, "..");
            continue;
        }
        std::string exact = joinPath(current, segment);
        platform::FileStatus status;
        ec = platform::status(exact, status, false);
        const bool exists = !ec;
        if (!exists && ec == std::errc::permission_denied)
            return denied(current);
        // Every name is looked at, even when one is spelt exactly as written:
        // the project was written where letter case makes no difference, so
        // two names that differ only in case leave its meaning open.
        auto listed = listings.find(current);
        if (listed == listings.end()) {
            // Through the platform, which reads folders past 260 characters
            // on Windows too.
            std::vector<platform::FolderEntry> entries;
            ec = platform::listFolder(current.empty() ? "." : current, entries);
            if (ec == std::errc::permission_denied && !exists)
                return denied(current);
            if (ec) { // searchable but not readable: the exact spelling is all there is
                if (!exists)
                    return notFound();
                current = exact;
                continue;
            }
            listed = listings.try_emplace(current).first;
            for (platform::FolderEntry& entry : entries)
                listed->second[vb::lowerAscii(entry.name)].push_back(std::move(entry.name));
        }
        auto found = listed->second.find(vb::lowerAscii(segment));
        if (found == listed->second.end()) {
            if (!exists)
                return notFound();
            current = exact;
            continue;
        }
        std::vector<std::string> candidates = found->second;
        if (candidates.size() > 1) {
            std::sort(candidates.begin(), candidates.end());
            std::string list;
            for (const std::string& c : candidates)
                list += (list.empty() ? "" : ", ") + joinPath(current, c);
            return makeError(errors::PathAccess, "ProjectLoader",
                             "ambiguous: the files " + list + " differ only in letter case");
        }
        current = joinPath(current, candidates.front());
    }
    return current;
}

Result<std::unique_ptr<Project>> ProjectLoader::load(const std::vector<std::string>& paths) {
    auto project = std::make_unique<Project>(m_codepage);
    bool anyInput = false;
    std::vector<std::string> ordinary;
    for (const std::string& given : paths) {
        // "\\?\C:\p\a.vbp" and "\\.\C:\p\a.vbp" name "C:\p\a.vbp" (Windows),
        // which every file of the project is then named from.
        ordinary.push_back(platform::ordinaryPath(given));
        const std::string& path = ordinary.back();
        // The system's own status: the standard library's takes a pipe
        // (Windows) for a file that is not there.
        platform::FileStatus st;
        if (std::error_code ec = platform::status(path, st)) {
            platform::FileStatus link;
            report(path, 0,
                   ec == std::errc::permission_denied
                       ? "permission denied: a folder on the way cannot be searched"
                   : !platform::status(path, link, false) &&
                           link.type == platform::FileType::Symlink
                       ? "a symbolic link that leads to no file"
                       : "no such file or folder");
            continue;
        }
        anyInput = true;
        if (st.type != platform::FileType::Directory && st.type != platform::FileType::Regular) {
            report(path, 0, DiskFile::notRegular(path, st.type).description);
            continue;
        }
        std::string ext = vb::lowerAscii(platform::fromPath(platform::toPath(path).extension()));
        if (st.type == platform::FileType::Directory) {
            loadFolder(path, *project);
        } else if (ext == ".vbp") {
            loadVbp(path, *project);
        } else if (ext == ".vbg") {
            loadVbg(path, *project);
        } else if (auto type = typeForExtension(path)) {
            loadModule(path, *type, {}, *project, {}, 0);
        } else if (OfficeDocument::isDocumentPath(path)) {
            loadDocument(path, *project, true);
        } else {
            report(path, 0, "not a VB project, project group or module file");
        }
    }
    if (!anyInput)
        return makeError(errors::FileNotFound, "trapline", "nothing to load");
    if (project->fileName().empty() && !ordinary.empty())
        project->VBComponents().setFolder(fs::is_directory(platform::toPath(ordinary.front()))
                                              ? ordinary.front()
                                              : folderOf(ordinary.front()));
    return project;
}

void ProjectLoader::loadVbg(const std::string& path, Project& project) {
    auto contents = DiskFile::read(path);
    if (!contents) {
        report(path, 0, contents.error().description);
        return;
    }
    std::string startup;
    long startupLine = 0;
    std::string firstProject;
    long firstLine = 0;
    std::vector<std::string> lines = textLines(contents->bytes);
    for (size_t i = 0; i < lines.size(); ++i) {
        size_t eq = lines[i].find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = vb::lowerAscii(vb::trim(std::string_view(lines[i]).substr(0, eq)));
        std::string value = m_codepage.toUtf8(vb::trim(std::string_view(lines[i]).substr(eq + 1)));
        if (key == "startupproject" && startup.empty()) {
            startup = value;
            startupLine = static_cast<long>(i + 1);
        } else if (key == "project" && firstProject.empty()) {
            firstProject = value;
            firstLine = static_cast<long>(i + 1);
        }
    }
    if (startup.empty()) {
        startup = firstProject;
        startupLine = firstLine;
    }
    if (startup.empty()) {
        report(path, 0, "the project group names no project");
        return;
    }
    auto vbp = resolve(folderOf(path), startup);
    if (!vbp) {
        report(path, startupLine, startup + ": " + vbp.error().description);
        return;
    }
    // A group holds projects, never groups: anything but a .vbp would be read
    // as a project it is not, and a group naming itself would never end.
    std::error_code ec;
    if (fs::equivalent(platform::toPath(path), platform::toPath(*vbp), ec)) {
        report(path, startupLine, startup + ": the project group names itself as its project");
        return;
    }
    std::string ext = vb::lowerAscii(platform::fromPath(platform::toPath(*vbp).extension()));
    if (ext != ".vbp") {
        report(path, startupLine,
               startup + (ext == ".vbg" ? ": a project group, not a project (.vbp)"
                                        : ": not a VB project (.vbp)"));
        return;
    }
    loadVbp(*vbp, project);
}

void ProjectLoader::loadVbp(const std::string& path, Project& project) {
    auto contents = DiskFile::read(path);
    if (!contents) {
        report(path, 0, contents.error().description);
        return;
    }
    if (contents->bytes.find('\0') != std::string::npos) {
        report(path, 0, "binary file, not a VB project");
        return;
    }
    if (vb::equalsNoCase(std::string_view(contents->bytes).substr(0, 7), "VBGROUP")) {
        report(path, 0, "a project group, not a project");
        return;
    }
    if (project.fileName().empty()) {
        project.setProjectFile(path, contents->bytes, contents->stamp);
        project.VBComponents().setFolder(folderOf(path));
    }
    const std::string folder = folderOf(path);
    VbpFile vbp = VbpFile::parse(std::move(contents->bytes));
    if (project.Name().empty())
        project.setName(m_codepage.toUtf8(vbp.name()));
    for (const VbpFile::Problem& problem : vbp.problems())
        report(path, problem.line, problem.message);
    std::error_code ec;
    const fs::path absoluteFolder = fs::absolute(platform::toPath(folder), ec);
    const fs::path realFolder = fs::weakly_canonical(absoluteFolder, ec);
    for (const VbpFile::Entry& entry : vbp.entries()) {
        std::string file = m_codepage.toUtf8(entry.path);
        auto resolved = resolve(folder, file, m_listings);
        if (!resolved && resolved.error().number == errors::FileNotFound && file != entry.path)
            resolved = resolve(folder, entry.path, m_listings);
        if (!resolved) {
            report(path, entry.line, file + ": " + resolved.error().description);
            continue;
        }
        // Modules shared between projects often live elsewhere, and are
        // treated; but the user should see which files outside the project
        // are written. The test is the one the diff makes of the current
        // folder, so that a preview run from the project's folder refuses
        // exactly the files named here.
        if (loadModule(*resolved, entry.type, entry.name, project, path, entry.line) &&
            (!UnifiedDiff::patchName(
                 platform::fromPath(fs::absolute(platform::toPath(*resolved), ec)),
                 absoluteFolder) ||
             !realPathWithin(*resolved, realFolder)))
            m_notices.push_back(*resolved + " lies outside the project's folder");
    }
}

void ProjectLoader::loadFolder(const std::string& path, Project& project) {
    std::vector<std::string> files;
    // A folder that cannot be listed (or searched) is said once, by name; its
    // files are left out, which a run must not pass over as if it held none.
    auto skipped = [&](const std::string& folder) {
        report(folder, 0, "permission denied: the folder cannot be read; what it holds was skipped",
               Diagnostic::Kind::SkippedFolder);
    };
    std::vector<std::string> folders{path};
    bool anySkipped = false;
    for (bool top = true; !folders.empty(); top = false) {
        const std::string folder = std::move(folders.back());
        folders.pop_back();
        // Listing needs read permission, but opening what is listed needs
        // search permission, which looking up "folder/." proves.
        std::error_code searchEc, ec;
        (void)fs::status(platform::toPath(folder) / ".", searchEc);
        fs::directory_iterator it(platform::toPath(folder), ec);
        if (!top &&
            (ec == std::errc::permission_denied || searchEc == std::errc::permission_denied)) {
            skipped(folder);
            anySkipped = true;
            continue;
        }
        if (!ec)
            ec = searchEc;
        std::vector<std::string> below;
        for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
            std::error_code typeEc;
            // A linked folder is not followed: it may lead back up or far away.
            if (it->is_directory(typeEc) && !it->is_symlink(typeEc))
                below.push_back(platform::fromPath(it->path()));
            else if (it->is_regular_file(typeEc) &&
                     (typeForExtension(platform::fromPath(it->path())) ||
                      isFolderDocument(platform::fromPath(it->path().filename()))))
                files.push_back(platform::fromPath(it->path()));
        }
        if (ec) {
            report(folder, 0, "cannot read the folder: " + ec.message());
            continue;
        }
        // Last name first on the stack, so that folders are said in name order.
        std::sort(below.rbegin(), below.rend());
        folders.insert(folders.end(), below.begin(), below.end());
    }
    std::sort(files.begin(), files.end());
    if (files.empty() && !anySkipped)
        report(path, 0, "the folder holds no module files");
    // The heads of deferred modules are read two at a time; the files are
    // still taken in name order, one after another.
    auto read = [&](size_t i) {
        return m_defer && typeForExtension(files[i]) ? readHead(files[i]) : Head{};
    };
    orderedParallel<Head>(files.size(), 2, 16, read, [&](size_t i, Head& head) {
        if (auto type = typeForExtension(files[i]))
            loadModule(files[i], *type, {}, project, {}, 0, m_defer ? &head : nullptr);
        else
            loadDocument(files[i], project, false);
    });
}

bool ProjectLoader::isFolderDocument(const std::string& name) {
    // Office and LibreOffice keep lock files named like the document beside it.
    if (name.starts_with("~$") || name.starts_with(".~lock."))
        return false;
    // A folder holds many a .bin that is no project: only a project file
    // named as Office names it ("vbaProject.bin", "Book_vbaProject.bin").
    if (vb::lowerAscii(name).ends_with(".bin"))
        return vb::lowerAscii(name).ends_with("vbaproject.bin");
    return OfficeDocument::isDocumentPath(name);
}

bool ProjectLoader::loadDocument(const std::string& path, Project& project, bool named) {
    auto document = OfficeDocument::open(path, m_allowSigned);
    if (!document) {
        // A workbook without macros in a folder is no input of ours; named, it is.
        if (!named && document.error().number == errors::NoProject)
            return false;
        report(path, 0, document.error().description);
        return false;
    }
    if (!m_loaded.insert({(*document)->stamp().device, (*document)->stamp().inode}).second)
        return false;
    OfficeDocument& adopted = project.adopt(std::move(*document));
    const std::vector<OfficeDocument::Module>& modules = adopted.modules();
    for (size_t i = 0; i < modules.size(); ++i)
        project.VBComponents().append(std::make_unique<Component>(
            adopted, i, modules[i].name, static_cast<ComponentType>(modules[i].kind),
            modules[i].source));
    return true;
}

ProjectLoader::Head ProjectLoader::readHead(const std::string& path) const {
    // Read whole, a file is not opened again to be treated; past the budget
    // a file's head is enough, and it is read whole when it is treated.
    constexpr size_t kWholeBudget = size_t(256) << 20;
    const bool whole = m_readWhole && m_wholeBytes.load() < kWholeBudget;
    Head head;
    if (auto piece = DiskFile::read(path, whole ? SIZE_MAX : kHeadPiece, whole && m_hold)) {
        if (whole)
            m_wholeBytes += piece->bytes.size();
        head.name = headNameFrom(path, piece->bytes, piece->stamp.size);
        head.start = std::move(*piece);
    }
    return head;
}

bool ProjectLoader::loadModule(const std::string& path, ComponentType type, const std::string& name,
                               Project& project, const std::string& listedIn, long listedLine,
                               Head* head) {
    auto where = [&](const std::string& message) {
        if (listedIn.empty())
            report(path, 0, message);
        else
            report(listedIn, listedLine, path + ": " + message);
        return false;
    };
    // A .vbp may name any file, anywhere (`..\notes.txt`): only one that
    // names itself as a module in its head is taken to be one.
    auto notAModule = [&] {
        return where("not a VB module: its head has no Attribute VB_Name line");
    };
    std::string fallbackName =
        name.empty() ? platform::fromPath(platform::toPath(path).stem()) : name;
    if (m_defer) {
        // Deferred, the file is only looked at now; it is read when loaded.
        // Only a file's head is read for its name, so that the project lists
        // its modules as they call themselves before any is read whole; its
        // stamp comes with that first piece, in one opening of the file.
        const bool wantHead = name.empty() || !listedIn.empty();
        Head own;
        if (wantHead && !head)
            own = readHead(path);
        std::optional<DiskFile::Contents>& start = head ? head->start : own.start;
        auto stamp = start ? Result<FileStamp>(start->stamp) : DiskFile::stamp(path);
        if (!stamp)
            return where(stamp.error().description);
        if (!m_loaded.insert({stamp->device, stamp->inode}).second)
            return false; // named twice: it is still one file
        if (wantHead) {
            // One that cannot be read is named after its file, and says why when loaded.
            std::string fromHead = head ? head->name : own.name;
            if (fromHead.empty() && !listedIn.empty()) {
                // A file that cannot be read says why, not that it is no module.
                if (auto readable = DiskFile::read(path, 1); !readable)
                    return where(readable.error().description);
                return notAModule();
            }
            if (name.empty() && !fromHead.empty())
                fallbackName = std::move(fromHead);
        }
        auto component = std::make_unique<Component>(fallbackName, type, path, *stamp);
        // Read whole already: not read again when it is treated.
        if (start && start->stamp.hashed)
            component->keepRead(std::move(*start));
        project.VBComponents().append(std::move(component));
        return true;
    }
    auto contents = DiskFile::read(path);
    if (!contents)
        return where(contents.error().description);
    if (!m_loaded.insert({contents->stamp.device, contents->stamp.inode}).second)
        return false;
    if (auto usable = CodeModule::usable(contents->bytes); !usable)
        return where(usable.error().description);
    if (!listedIn.empty() && headNameOfBytes(contents->bytes).empty())
        return notAModule();
    project.VBComponents().append(std::make_unique<Component>(
        fallbackName, type, path, std::move(contents->bytes), contents->stamp));
    return true;
}

} // namespace trapline
