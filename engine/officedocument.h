#pragma once

// An Office document as the engine sees it: one file on disk holding the
// VBA project whose modules become the project's components. The document
// is read whole when opened and written whole, through its own container
// format, once all its modules are treated.

#include "codepage.h"
#include "diskfile.h"
#include "result.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace trapline {

class Component;

namespace office {
class Document;
}

class OfficeDocument {
public:
    /// What one module of the document holds.
    struct Module {
        std::string name;     ///< as stored, in the document's code page
        std::string nameUtf8; ///< for messages
        int kind = 1;         ///< a ComponentType number: 1, 2, 3 or 100
        std::string source;   ///< Attribute lines and code, the module's own line ends
    };
    /// A module to add when the document is written.
    struct Added {
        std::string name;   ///< in the document's code page
        std::string source; ///< Attribute lines and code
    };

    ~OfficeDocument();
    OfficeDocument(const OfficeDocument&) = delete;
    OfficeDocument& operator=(const OfficeDocument&) = delete;

    /// Whether `path`'s extension names a document that may hold a project
    /// (.xlsm, .docm, .xls, vbaProject's .bin ...).
    static bool isDocumentPath(const std::string& path);
    /// Reads the document at `path`. The error's description is the one the
    /// user sees after the file's name: "encrypted: open it in Office and save
    /// it without a password", "signed: …", "locked: …", "corrupt: …".
    /// `allowSigned` reads a signed project, whose signature a write removes.
    /// Errors::NoProject (as the number) marks a document without a project.
    static Result<std::unique_ptr<OfficeDocument>> open(const std::string& path,
                                                        bool allowSigned = false);

    /// Reads the document again when its file changed since it was read (a
    /// run we waited for wrote it). True when it did and it still holds the
    /// same modules, by name and order, whose components may then take their
    /// text again (Component::retakeFromDocument()); false when the file is
    /// as it was read. Otherwise an error, and the document stays as read:
    /// the check before writing then refuses to write over the change.
    Result<bool> reread();

    const std::string& path() const { return m_path; }
    /// The file as it was read, bytes included.
    const FileStamp& stamp() const { return m_stamp; }
    /// The code page the project's text is stored in.
    const Codepage& codepage() const { return m_codepage; }
    uint16_t codePageNumber() const { return m_codePageNumber; }
    const std::vector<Module>& modules() const { return m_modules; }
    bool signedProject() const { return m_signed; }

    /// The lock file another program keeps beside the document while it has
    /// it open (Office's "~$Book.xlsm", LibreOffice's ".~lock.Book.xlsm#"),
    /// or nothing.
    static std::optional<std::string> lockFileOf(const std::string& path);

    /// The document's new bytes: `sources` by index into modules(), `added`
    /// appended. Fails, saying why, when the result does not pass its own
    /// check or this build cannot write documents.
    Result<std::string> write(const std::map<size_t, std::string>& sources,
                              const std::vector<Added>& added) const;

    /// The document's new version staged next to it (see DiskFile::stage()),
    /// with the text of each of `modules` that changed (a new one added),
    /// or nothing when none did. Refused, naming why, when the text is in
    /// `textCodepage` and that is not the document's, while another program
    /// has the document open, when its new bytes fail their check, or when
    /// the file may not be replaced.
    Result<std::optional<DiskFile::Staged>> stage(const std::vector<const Component*>& modules,
                                                  const Codepage& textCodepage, bool backup) const;
    /// Why text in `codepage` must not go into this document, or "".
    std::string codepageConflict(const Codepage& codepage) const;

private:
    OfficeDocument() = default;

    std::string m_path;
    FileStamp m_stamp;
    Codepage m_codepage;
    uint16_t m_codePageNumber = 1252;
    std::vector<Module> m_modules;
    bool m_signed = false;
    bool m_allowSigned = false;
    std::unique_ptr<office::Document> m_document;
};

} // namespace trapline
