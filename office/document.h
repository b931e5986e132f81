#pragma once

// An Office document's VBA project, whatever holds it: an OOXML package
// (.xlsm, .docm, .pptm and their kin) whose relationships name the project
// part, a binary document (.xls, .doc) holding the project storage, or a
// bare project file (vbaProject.bin).

#include "outcome.h"
#include "vbaproject.h"

#include <string>

namespace trapline::office {

/// Where a document keeps its project.
enum class Container {
    Package,     ///< a zip part that is itself a compound file
    Binary,      ///< a storage of a binary document
    BareProject, ///< the compound file is the project storage
};

class Document {
public:
    /// Reads the document at `path` (UTF-8) and its project. Refuses, by
    /// name: an encrypted document (Encrypted), a signed project (Signed), a
    /// project locked for viewing (Locked), a document without a project
    /// (NoProject), anything broken or hostile (Corrupt, TooLarge).
    static Outcome<Document> open(const std::string& path);
    /// The same, for a document already in memory.
    static Outcome<Document> read(std::string bytes);

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

    Container m_container;
    std::string m_projectPart;
    std::string m_projectStorage;
    VbaProject m_project;
};

} // namespace trapline::office
