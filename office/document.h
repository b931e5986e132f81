#pragma once

// An Office document's VBA project, whatever holds it: an OOXML package
// (.xlsm, .docm, .pptm and their kin) whose relationships name the project
// part, a binary document (.xls, .doc) holding the project storage, or a
// bare project file (vbaProject.bin).

#include "outcome.h"
#include "projectwriter.h"
#include "vbaproject.h"

#include <map>
#include <string>
#include <vector>

namespace trapline::office {

/// Where a document keeps its project.
enum class Container {
    Package,     ///< a zip part that is itself a compound file
    Binary,      ///< a storage of a binary document
    BareProject, ///< the compound file is the project storage
};

/// What a write changes in a document.
struct DocumentEdit {
    /// New source bytes (the project's code page, the module's own line ends,
    /// Attribute lines included, as VbaModule::source holds them) by index
    /// into project().modules().
    std::map<size_t, std::string> sources;
    std::vector<NewModule> added; ///< standard modules to add, in this order
    /// Drops the project's digital signature: the signature parts with their
    /// relationships and content types, or the signature streams.
    bool removeSignature = false;
};

/// How a document is opened.
struct OpenOptions {
    /// Opens a signed project too, for an edit that removes the signature.
    bool allowSigned = false;
};

class Document {
public:
    /// Reads the document at `path` (UTF-8) and its project. Refuses, by
    /// name: an encrypted document (Encrypted), a signed project (Signed,
    /// unless `options` allow it), a project locked for viewing (Locked), a
    /// document without a project (NoProject), anything broken or hostile
    /// (Corrupt, TooLarge).
    static Outcome<Document> open(const std::string& path, OpenOptions options = {});
    /// The same, for a document already in memory; the module sources are
    /// decompressed and decoded through `parallel`.
    static Outcome<Document> read(std::string bytes, OpenOptions options = {},
                                  const ParallelFor& parallel = {});

    /// The whole document's new bytes with `edit` applied. The project is
    /// written as Office compiles it afresh: every module stream holds only
    /// its compressed source at offset 0, `_VBA_PROJECT` holds no compiled
    /// state and no `__SRP_` stream is left, changed modules or not. Every
    /// other part, stream, storage and class id keeps its bytes. The result
    /// is read back before it is returned: a Failure names what did not
    /// come back as written. Fails (Signed) for a signed project unless the
    /// edit removes the signature. The work done module by module (the
    /// sources compressed, and decompressed again to check them) goes
    /// through `parallel`.
    Outcome<std::string> write(const DocumentEdit& edit, const ParallelFor& parallel = {}) const;

    /// Whether the project carries a digital signature (only a document
    /// opened with allowSigned can).
    bool isSigned() const { return m_signed; }

    Container container() const { return m_container; }
    /// The zip entry that holds the project; empty but for a package.
    const std::string& projectPart() const { return m_projectPart; }
    /// The project's storage in its compound file ("" for the root).
    const std::string& projectStorage() const { return m_projectStorage; }
    const VbaProject& project() const { return m_project; }

    /// No document we read is larger.
    static constexpr size_t kFileLimit = 512u << 20;

private:
    Document(Container container, VbaProject project)
        : m_container(container), m_project(std::move(project)) {}

    Outcome<std::string> writePackage(const DocumentEdit& edit, std::vector<std::string>& sources,
                                      const ParallelFor& parallel) const;
    Outcome<std::string> writeCompoundFile(const DocumentEdit& edit,
                                           std::vector<std::string>& sources,
                                           const ParallelFor& parallel) const;
    Outcome<bool> checkWritten(const std::string& bytes, const DocumentEdit& edit,
                               const std::vector<std::string>& sources,
                               const ParallelFor& parallel) const;

    Container m_container;
    std::string m_bytes; ///< the document as read, for a writer
    bool m_signed = false;
    std::string m_projectPart;
    std::string m_projectStorage;
    VbaProject m_project;
};

} // namespace trapline::office
