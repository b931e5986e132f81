#include "document.h"
#include "asciicase.h"

#include "compoundfile.h"
#include "opcpackage.h"
#include "zippackage.h"

#include "platform/filesystem.h"

#include <optional>

namespace trapline::office {
namespace {

bool has(const std::vector<CompoundFile::Entry>& entries, std::string_view name, bool storage) {
    for (const CompoundFile::Entry& entry : entries)
        if (entry.isStorage == storage && startsWithNoCase(entry.name, name) &&
            entry.name.size() == name.size())
            return true;
    return false;
}

/// A digital signature of the project: `\x05DigitalSignature`, `…Ex` or
/// `…Agile`, in the project's storage or at the document's root.
Outcome<bool> signedIn(const CompoundFile& file, const std::string& storage) {
    for (const std::string& path : {std::string(), storage}) {
        Outcome<std::vector<CompoundFile::Entry>> entries = file.list(path);
        if (!entries)
            return entries.failure();
        for (const CompoundFile::Entry& entry : *entries)
            if (startsWithNoCase(entry.name, "\x05"
                                             "DigitalSignature"))
                return true;
    }
    return false;
}

/// Whether an .xls workbook stream is encrypted: a FILEPASS record among
/// the globals before their EOF.
bool workbookEncrypted(std::string_view stream) {
    for (size_t pos = 0; pos + 4 <= stream.size();) {
        const unsigned type = static_cast<unsigned char>(stream[pos]) |
                              static_cast<unsigned char>(stream[pos + 1]) << 8;
        const unsigned size = static_cast<unsigned char>(stream[pos + 2]) |
                              static_cast<unsigned char>(stream[pos + 3]) << 8;
        if (type == 0x002F) // FILEPASS
            return true;
        if (type == 0x000A) // EOF of the globals
            return false;
        pos += 4 + size;
    }
    return false;
}

/// Whether a .doc's WordDocument stream says it is encrypted: fEncrypted in
/// the flags of its FIB.
bool wordEncrypted(std::string_view stream) {
    return stream.size() >= 12 && (static_cast<unsigned char>(stream[11]) & 0x01) != 0;
}

/// The storage holding the project in a compound file, after the
/// refusals a binary document can state before its project is read.
Outcome<std::string> projectStorageOf(const CompoundFile& file, Container& container) {
    Outcome<std::vector<CompoundFile::Entry>> root = file.list("");
    if (!root)
        return root.failure();
    if (has(*root, "EncryptedPackage", false))
        return fail(Problem::Encrypted, "an encrypted package");
    for (const char* workbook : {"Workbook", "Book"}) {
        if (!has(*root, workbook, false))
            continue;
        Outcome<std::string> stream = file.read(workbook, Document::kFileLimit);
        if (!stream)
            return stream.failure();
        if (workbookEncrypted(*stream))
            return fail(Problem::Encrypted, "the workbook is encrypted (FILEPASS)");
        container = Container::Binary;
        if (has(*root, "_VBA_PROJECT_CUR", true))
            return std::string("_VBA_PROJECT_CUR");
        return fail(Problem::NoProject, "the workbook has no VBA project");
    }
    if (has(*root, "WordDocument", false)) {
        Outcome<std::string> stream = file.read("WordDocument", Document::kFileLimit);
        if (!stream)
            return stream.failure();
        if (wordEncrypted(*stream))
            return fail(Problem::Encrypted, "the document is encrypted");
        container = Container::Binary;
        if (has(*root, "Macros", true))
            return std::string("Macros");
        return fail(Problem::NoProject, "the document has no VBA project");
    }
    if (has(*root, "VBA", true) && has(*root, "PROJECT", false)) {
        container = Container::BareProject;
        return std::string();
    }
    return fail(Problem::NoProject, "no VBA project in the compound file");
}

Outcome<VbaProject> readProject(const CompoundFile& file, const std::string& storage,
                                OpenOptions options, const ParallelFor& parallel, bool& isSigned) {
    Outcome<bool> found = signedIn(file, storage);
    if (!found)
        return found.failure();
    isSigned = isSigned || *found;
    if (isSigned && !options.allowSigned)
        return fail(Problem::Signed, "the project is digitally signed");
    return VbaProject::read(file, storage, parallel);
}

} // namespace

Outcome<Document> Document::read(std::string bytes, OpenOptions options,
                                 const ParallelFor& parallel) {
    std::string kept = bytes;
    bool isSigned = false;
    if (bytes.compare(0, 4, "PK\x03\x04") == 0) {
        Outcome<std::unique_ptr<ZipPackage>> zip = ZipPackage::open(std::move(bytes));
        if (!zip)
            return zip.failure();
        Outcome<OpcPackage> package = OpcPackage::open(**zip);
        if (!package)
            return package.failure();
        for (const std::string& name : (*zip)->names()) {
            const size_t slash = name.rfind('/');
            const std::string_view base =
                std::string_view(name).substr(slash == std::string::npos ? 0 : slash + 1);
            if (startsWithNoCase(base, "vbaProjectSignature") && !options.allowSigned)
                return fail(Problem::Signed, "the project is digitally signed (" + name + ")");
            isSigned = isSigned || startsWithNoCase(base, "vbaProjectSignature");
        }
        Outcome<std::string> part = package->projectPart();
        if (!part)
            return part.failure();
        Outcome<std::string> partBytes = (*zip)->read(*part, kFileLimit);
        if (!partBytes)
            return partBytes.failure();
        Outcome<std::unique_ptr<CompoundFile>> file = CompoundFile::open(std::move(*partBytes));
        if (!file)
            return fail(Problem::Corrupt, *part + ": " + file.failure().detail);
        Outcome<VbaProject> project = readProject(**file, "", options, parallel, isSigned);
        if (!project)
            return project.failure();
        Document document(Container::Package, std::move(*project));
        document.m_projectPart = *part;
        document.m_bytes = std::move(kept);
        document.m_signed = isSigned;
        return document;
    }
    Outcome<std::unique_ptr<CompoundFile>> file = CompoundFile::open(std::move(bytes));
    if (!file)
        return file.failure();
    Container container = Container::BareProject;
    Outcome<std::string> storage = projectStorageOf(**file, container);
    if (!storage)
        return storage.failure();
    Outcome<VbaProject> project = readProject(**file, *storage, options, parallel, isSigned);
    if (!project)
        return project.failure();
    Document document(container, std::move(*project));
    document.m_projectStorage = *storage;
    document.m_bytes = std::move(kept);
    document.m_signed = isSigned;
    return document;
}

Outcome<Document> Document::open(const std::string& path, OpenOptions options) {
    platform::File file;
    if (std::error_code error = platform::openForReading(path, file))
        return fail(Problem::Unreadable, path + ": " + error.message());
    platform::FileStatus status;
    if (std::error_code error = file.status(status))
        return fail(Problem::Unreadable, path + ": " + error.message());
    if (status.type != platform::FileType::Regular)
        return fail(Problem::Unreadable, path + ": not a regular file");
    if (status.size > kFileLimit)
        return fail(Problem::TooLarge, path + ": " + std::to_string(status.size) + " bytes");
    std::string bytes(static_cast<size_t>(status.size), '\0');
    size_t total = 0;
    while (total < bytes.size()) {
        size_t got = 0;
        if (std::error_code error = file.read(bytes.data() + total, bytes.size() - total, got))
            return fail(Problem::Unreadable, path + ": " + error.message());
        if (got == 0)
            break;
        total += got;
    }
    bytes.resize(total);
    return read(std::move(bytes), options);
}

} // namespace trapline::office
