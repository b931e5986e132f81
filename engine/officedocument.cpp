#include "officedocument.h"

#include "component.h"
#include "vbsyntax.h"

#include "platform/filesystem.h"

#include "orderedpool.h"

#include "office/document.h"

#include <algorithm>
#include <array>

namespace trapline {
namespace {

/// Documents that may carry a project; ".bin" is a bare vbaProject.bin.
constexpr std::array kExtensions = {".xlsm", ".xltm", ".xlam", ".xlsb", ".docm",
                                    ".dotm", ".pptm", ".potm", ".ppsm", ".ppam",
                                    ".xlsx", ".pptx", ".xls",  ".doc",  ".bin"};

std::string extensionOf(const std::string& path) {
    return vb::lowerAscii(platform::fromPath(platform::toPath(path).extension()));
}

/// The batch's two threads, lent to the office library for the work it does
/// module by module (compressing, decompressing and decoding sources).
office::ParallelFor modulePool() {
    return [](size_t count, const std::function<void(size_t)>& work) {
        orderedParallel<bool>(
            count, 2, 16,
            [&](size_t k) {
                work(k);
                return true;
            },
            [](size_t, bool) {});
    };
}

/// What a refusal tells the user to do, after the problem's name.
std::string refusalText(const office::Failure& failure) {
    using office::Problem;
    switch (failure.problem) {
    case Problem::Encrypted:
        return "encrypted: open it in Office and save it without a password";
    case Problem::Signed:
        return "signed: an edit would invalidate its signature; --remove-signature removes it";
    case Problem::Locked:
        return "locked: the project is locked for viewing; unlock it in the VBA editor";
    default:
        break;
    }
    std::string text = office::problemName(failure.problem);
    return failure.detail.empty() ? text : text + ": " + failure.detail;
}

int componentTypeOf(office::ModuleKind kind) {
    switch (kind) {
    case office::ModuleKind::Standard:
        return 1;
    case office::ModuleKind::Class:
        return 2;
    case office::ModuleKind::Designer:
        return 3;
    case office::ModuleKind::Document:
        return 100;
    }
    return 1;
}

} // namespace

OfficeDocument::~OfficeDocument() = default;

bool OfficeDocument::isDocumentPath(const std::string& path) {
    const std::string ext = extensionOf(path);
    for (const char* known : kExtensions)
        if (ext == known)
            return true;
    return false;
}

std::optional<std::string> OfficeDocument::lockFileOf(const std::string& path) {
    const std::string folder = platform::parentFolder(path);
    const std::string name = platform::fromPath(platform::toPath(path).filename());
    auto at = [&](const std::string& file) {
        return folder.empty() || folder == "." ? file : folder + "/" + file;
    };
    // Office shortens long names: "~$" takes the place of the first two
    // characters once the name has more than seven before its extension, and,
    // as Word is seen to do, of the first one of a name of seven; a lock
    // taken for ours by mistake only keeps a run from writing. Characters,
    // not bytes: "Документ.xlsm" is locked by "~$кумент.xlsm".
    const std::string stem = platform::fromPath(platform::toPath(path).stem());
    auto isFirstByte = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; };
    const auto characters = std::count_if(stem.begin(), stem.end(), isFirstByte);
    auto withoutFirst = [&](int n) {
        size_t from = 0;
        for (int k = 0; k < n && from < name.size(); ++k) {
            ++from; // past the character's first byte, then its others
            while (from < name.size() && !isFirstByte(name[from]))
                ++from;
        }
        return name.substr(from);
    };
    std::vector<std::string> candidates{at("~$" + name), at(".~lock." + name + "#")};
    if (characters >= 7)
        candidates.push_back(at("~$" + withoutFirst(characters > 7 ? 2 : 1)));
    for (const std::string& candidate : candidates) {
        platform::FileStatus status;
        if (!platform::status(candidate, status, false))
            return candidate;
    }
    return std::nullopt;
}

Result<std::unique_ptr<OfficeDocument>> OfficeDocument::open(const std::string& path,
                                                             bool allowSigned) {
    auto contents = DiskFile::read(path);
    if (!contents)
        return contents.error();
    std::unique_ptr<OfficeDocument> doc(new OfficeDocument());
    doc->m_path = path;
    doc->m_stamp = contents->stamp;
    doc->m_allowSigned = allowSigned;
    auto read = office::Document::read(std::move(contents->bytes), office::OpenOptions{allowSigned},
                                       modulePool());
    if (read)
        doc->m_signed = read->isSigned();
    if (!read)
        return makeError(read.failure().problem == office::Problem::NoProject
                             ? errors::NoProject
                             : errors::DocumentRefused,
                         path, refusalText(read.failure()));
    doc->m_document = std::make_unique<office::Document>(std::move(*read));
    const office::VbaProject& project = doc->m_document->project();
    doc->m_codePageNumber = project.codePage();
    // Mac projects say 10000; iconv knows it by name only, Windows by number.
    const std::string cpName =
        project.codePage() == 10000 ? "MACINTOSH" : std::to_string(project.codePage());
    auto cp = Codepage::open(cpName);
    if (!cp)
        cp = Codepage::open(std::to_string(project.codePage()));
    if (cp)
        doc->m_codepage = *cp;
    else
        return makeError(errors::DocumentRefused, path,
                         "code page " + std::to_string(project.codePage()) +
                             " of its project is not known to this system");
    for (const office::VbaModule& m : project.modules())
        doc->m_modules.push_back(Module{m.name, m.nameUtf8, componentTypeOf(m.kind), m.source});
    return doc;
}

Result<bool> OfficeDocument::reread() {
    auto now = DiskFile::stamp(m_path);
    if (!now)
        return now.error();
    if (*now == m_stamp)
        return false;
    auto again = open(m_path, m_allowSigned);
    if (!again)
        return again.error();
    OfficeDocument& fresh = **again;
    bool same = fresh.m_modules.size() == m_modules.size();
    for (size_t k = 0; same && k < m_modules.size(); ++k)
        same = fresh.m_modules[k].name == m_modules[k].name;
    if (!same)
        return makeError(errors::ChangedOnDisk, m_path,
                         "its project's modules changed on disk while it was in use");
    m_stamp = fresh.m_stamp;
    m_codepage = fresh.m_codepage;
    m_codePageNumber = fresh.m_codePageNumber;
    m_modules = std::move(fresh.m_modules);
    m_signed = fresh.m_signed;
    m_document = std::move(fresh.m_document);
    return true;
}

Result<std::optional<DiskFile::Staged>>
OfficeDocument::stage(const std::vector<const Component*>& modules, const Codepage& textCodepage,
                      bool backup) const {
    std::map<size_t, std::string> sources;
    std::vector<Added> added;
    for (const Component* c : modules) {
        if (!c->needsSave())
            continue;
        if (c->isNew())
            added.push_back({c->Name(), c->serialize()});
        else
            sources[c->documentIndex()] = c->serialize();
    }
    if (sources.empty() && added.empty())
        return std::optional<DiskFile::Staged>(); // the document is not written at all
    if (std::string conflict = codepageConflict(textCodepage); !conflict.empty())
        return makeError(errors::NotConvertible, m_path, "not written: " + conflict);
    // Office or LibreOffice has it open and would write its own copy over ours.
    if (auto lock = lockFileOf(m_path))
        return makeError(errors::DocumentRefused, m_path,
                         "open in another program (its lock file " + *lock + " is there)");
    auto bytes = write(sources, added);
    if (!bytes)
        return bytes.error();
    auto staged = DiskFile::stage(m_path, {*bytes}, &m_stamp, backup);
    if (!staged)
        return staged.error();
    return std::optional<DiskFile::Staged>(std::move(*staged));
}

std::string OfficeDocument::codepageConflict(const Codepage& codepage) const {
    // Text made in another code page would get letters it does not mean.
    if (codepage.name() == m_codepage.name())
        return {};
    const std::string number = std::to_string(m_codePageNumber);
    return "its project's code page is " + number + ", not the run's: run it with --codepage " +
           number;
}

Result<std::string> OfficeDocument::write(const std::map<size_t, std::string>& sources,
                                          const std::vector<Added>& added) const {
    office::DocumentEdit edit;
    edit.sources = sources;
    for (const Added& a : added)
        edit.added.push_back(office::NewModule{a.name, a.source});
    edit.removeSignature = m_signed;
    auto bytes = m_document->write(edit, modulePool());
    // A document whose new bytes fail their check is not written, as a
    // file that cannot be replaced is not: the rest of the run goes on.
    if (!bytes)
        return makeError(errors::BadFileFormat, m_path,
                         std::string("not written: ") +
                             office::problemName(bytes.failure().problem) +
                             (bytes.failure().detail.empty() ? "" : ": " + bytes.failure().detail));
    return std::move(*bytes);
}

} // namespace trapline
