#pragma once

#include "codemodule.h"
#include "codepage.h"
#include "diskfile.h"
#include "result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trapline {

class OfficeDocument;

/// Component kinds, numbered as the IDE numbers them.
enum class ComponentType {
    StdModule = 1,
    ClassModule = 2,
    MSForm = 3, ///< a UserForm of the VBA editor
    Form = 5,
    MDIForm = 6,
    PropertyPage = 7,
    UserControl = 8,
    UserDocument = 9,
    Designer = 11,
    Document = 100, ///< the VBA editor's document modules (ThisWorkbook, a sheet)
};

/// One component of a project: a module file on disk (or a new one not yet
/// written) and its code.
class Component {
public:
    /// A component read from `path`; `bytes` and `stamp` are what was read.
    /// The name the file's head gives (VB_Name) wins over `name`.
    Component(std::string name, ComponentType type, std::string path, std::string bytes,
              FileStamp stamp);
    /// A component whose file is read only when `load()` is called: large
    /// projects are then treated one file at a time. Until then its name is
    /// the one given; loading takes the name the file gives.
    Component(std::string name, ComponentType type, std::string path, FileStamp stamp);
    /// A new, empty standard module that exists only in memory until saved.
    Component(std::string name, std::string path);
    /// Module `index` of the Office document `document`, whose text
    /// (Attribute lines and code) is `source`. Its path is the document's;
    /// it is never read or written on its own, but with its document.
    /// `index` is SIZE_MAX for a module the document does not hold yet.
    Component(OfficeDocument& document, size_t index, std::string name, ComponentType type,
              std::string source);

    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    const std::string& Name() const { return m_name; }
    /// Names a new component (its file becomes "<name>.bas" in the same
    /// folder); a component read from disk keeps its name.
    Result<void> setName(std::string name);
    ComponentType Type() const { return m_type; }
    /// The code. A component made without its code is read first, so that
    /// whoever changes it changes the file's code, not an empty stand-in.
    /// When it cannot be read the code is empty, `loadError()` says why, and
    /// `save()` refuses to write over the file.
    trapline::CodeModule& CodeModule();
    /// The code as it is now, never read here: empty for a component not
    /// loaded yet.
    const trapline::CodeModule& CodeModule() const { return m_code; }
    /// Why the last attempt to read the file failed (none once it is read).
    const std::optional<Error>& loadError() const { return m_loadError; }

    const std::string& path() const { return m_path; }
    /// The Office document holding this module, or null for a module file.
    OfficeDocument* document() const { return m_document; }
    /// The module's index in its document (SIZE_MAX for one added).
    size_t documentIndex() const { return m_documentIndex; }
    /// The code page of the module's text: its document's, else `fallback`.
    const Codepage& codepage(const Codepage& fallback) const;
    /// The code page of the project the component is in, which its text is
    /// in unless its document has its own: the code module then reads a
    /// double-byte text character by character. Components::append() calls it.
    void setProjectCodepage(const Codepage& codepage);
    /// The file as it was read (or last saved).
    const FileStamp& stamp() const { return m_stamp; }
    void setPath(std::string path) { m_path = std::move(path); }
    bool isNew() const { return m_isNew; }
    /// True when saving would write something.
    bool needsSave() const { return m_isNew || m_code.modified(); }

    bool isLoaded() const { return m_loaded; }
    /// Reads the file of a component made without its code, provided it is
    /// still the file that was first read.
    Result<void> load();
    /// A component not loaded yet takes the stamp its file has now: for a run
    /// that waited for another to finish before reading anything. What was
    /// read ahead (see keepRead()) is dropped: load() reads the file again.
    void restamp();
    /// For a component not loaded yet: its file read whole, with the stamp
    /// it was made with, which load() takes instead of reading it again.
    void keepRead(DiskFile::Contents contents);
    /// What reading the file left for its replacement (whether the path
    /// names the file itself, the file held open), or nullptr; until unload().
    DiskFile::Contents* reading() { return m_read ? &*m_read : nullptr; }
    /// A module of a document takes its text from the document again, after
    /// OfficeDocument::reread() found the file changed.
    void retakeFromDocument();
    /// Lets go of the component's code until it is loaded again. Changes not
    /// saved or staged by then are dropped.
    void unload();

    /// The bytes the file would hold now.
    std::string serialize() const;
    /// The same bytes in pieces, valid until the component changes.
    std::vector<std::string_view> pieces();

    /// Writes the file if it changed, atomically and only if the file on disk
    /// is still the one that was read. `backup` keeps the old one as ".bak".
    /// A new component never overwrites a file that exists.
    Result<void> save(bool backup = false);

    /// The first half of a save: the new file written next to the old one
    /// (nothing when unchanged). Several staged saves are flushed together,
    /// then each is committed and reported with `saved()`.
    Result<std::optional<DiskFile::Staged>> stageSave(bool backup = false);
    /// Records that the staged file is now in place with `stamp`.
    void saved(FileStamp stamp);

private:
    std::string m_name;
    ComponentType m_type;
    std::string m_path;
    FileStamp m_stamp;
    bool m_isNew = false;
    bool m_loaded = true;
    std::string m_newHead; ///< the head written before a new module's code
    std::optional<Error> m_loadError;
    trapline::CodeModule m_code;
    OfficeDocument* m_document = nullptr;
    size_t m_documentIndex = SIZE_MAX;
    const LeadBytes* m_lead = nullptr;        ///< of the text's code page, kept for each reading
    std::optional<DiskFile::Contents> m_read; ///< see keepRead(); its bytes go to load()
    bool m_readTaken = false;                 ///< load() took them
};

} // namespace trapline
