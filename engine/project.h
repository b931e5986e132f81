#pragma once

#include "codepage.h"
#include "components.h"

#include "diskfile.h"
#include "folderlocks.h"
#include "officedocument.h"

#include <memory>

#include <string>
#include <vector>

namespace trapline {

/// A VB6 project: its components, the .vbp it came from (if any) and its code page.
class Project {
public:
    explicit Project(Codepage codepage = Codepage()) : m_codepage(std::move(codepage)) {
        m_components.setCodepage(m_codepage);
    }

    Components& VBComponents() { return m_components; }
    const Components& VBComponents() const { return m_components; }

    const Codepage& codepage() const { return m_codepage; }
    const std::string& Name() const { return m_name; }
    void setName(std::string name) { m_name = std::move(name); }
    /// The .vbp file, empty for a project made of a folder or of single files.
    const std::string& fileName() const { return m_fileName; }
    void setFileName(std::string path) { m_fileName = std::move(path); }
    /// The .vbp as it was read, to be rewritten when modules are added.
    void setProjectFile(std::string path, std::string bytes, FileStamp stamp) {
        m_fileName = std::move(path);
        m_fileBytes = std::move(bytes);
        m_fileStamp = stamp;
    }

    /// Writes every changed component, then every new one (never over an
    /// existing file), and lists the new ones in the .vbp. A file that cannot
    /// be written is reported and leaves the others to be written; a new
    /// module that cannot be listed in the .vbp is removed again. While
    /// another run holds one of its folders, `waiting` is told which (see
    /// FolderLocks::acquire); when it gives up, nothing is written and the
    /// one error is errors::Cancelled.
    std::vector<Error> save(bool backup = false, const FolderLocks::Waiting& waiting = {});

    /// Keeps an Office document whose modules are components of the project.
    OfficeDocument& adopt(std::unique_ptr<OfficeDocument> document) {
        m_documents.push_back(std::move(document));
        return *m_documents.back();
    }
    const std::vector<std::unique_ptr<OfficeDocument>>& documents() const { return m_documents; }

private:
    /// Replaces a module's file by its staged version; a new module is then
    /// listed in the project file. What goes wrong is added to `problems`.
    void commitModule(Component& c, const DiskFile::Staged& s, bool backup,
                      std::vector<Error>& problems);
    /// Replaces a document by its staged version, for all of `modules`.
    void commitDocument(const std::vector<Component*>& modules, const DiskFile::Staged& s,
                        std::vector<Error>& problems);
    Result<void> listInProjectFile(const Component& component, bool backup);

    Codepage m_codepage;
    Components m_components;
    std::string m_name;
    std::string m_fileName;
    std::string m_fileBytes;
    FileStamp m_fileStamp;
    std::vector<std::unique_ptr<OfficeDocument>> m_documents;
};

} // namespace trapline
