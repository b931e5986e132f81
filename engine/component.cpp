#include "component.h"

#include "officedocument.h"

namespace trapline {

Component::Component(std::string name, ComponentType type, std::string path, std::string bytes,
                     FileStamp stamp)
    : m_name(std::move(name)), m_type(type), m_path(std::move(path)), m_stamp(stamp),
      m_code(std::move(bytes)) {
    m_code.setParent(this);
    if (std::string fromHead = m_code.headName(); !fromHead.empty())
        m_name = std::move(fromHead);
}

Component::Component(OfficeDocument& document, size_t index, std::string name, ComponentType type,
                     std::string source)
    : m_name(std::move(name)), m_type(type), m_path(document.path()), m_stamp(document.stamp()),
      m_isNew(index == SIZE_MAX), m_code(std::move(source), document.codepage().leadBytes()),
      m_document(&document), m_documentIndex(index), m_lead(document.codepage().leadBytes()) {
    m_code.setParent(this);
    // The VBA editor's window is the only view a user has of this text.
    m_code.countWindowLines();
}

const Codepage& Component::codepage(const Codepage& fallback) const {
    return m_document ? m_document->codepage() : fallback;
}

void Component::setProjectCodepage(const Codepage& codepage) {
    if (m_document)
        return;
    m_lead = codepage.leadBytes();
    m_code.setLeadBytes(m_lead);
}

Component::Component(std::string name, ComponentType type, std::string path, FileStamp stamp)
    : m_name(std::move(name)), m_type(type), m_path(std::move(path)), m_stamp(stamp),
      m_loaded(false) {
    m_code.setParent(this);
}

trapline::CodeModule& Component::CodeModule() {
    if (!m_loaded)
        (void)load(); // a failure is kept in m_loadError and stops a save
    return m_code;
}

Result<void> Component::load() {
    if (m_loaded)
        return {};
    auto failed = [this](Error e) -> Result<void> {
        m_loadError = e;
        m_read.reset();
        m_readTaken = false;
        return e;
    };
    if (!m_read || m_readTaken) {
        auto fresh = DiskFile::read(m_path);
        if (!fresh)
            return failed(fresh.error());
        m_read = std::move(*fresh);
    }
    m_readTaken = true;
    DiskFile::Contents& contents = *m_read;
    if (!(contents.stamp == m_stamp))
        return failed(makeError(errors::ChangedOnDisk, m_path,
                                "the file changed on disk while it was in use"));
    if (auto usable = trapline::CodeModule::usable(contents.bytes); !usable)
        return failed(makeError(usable.error().number, m_path, usable.error().description));
    m_loadError.reset();
    m_code = trapline::CodeModule(std::move(contents.bytes), m_lead);
    contents.bytes = {};
    m_code.setParent(this);
    m_loaded = true;
    m_stamp = contents.stamp; // now with the hash of what was read
    // Until now the name was the project file's or the file's own.
    if (std::string name = m_code.headName(); !name.empty())
        m_name = std::move(name);
    return {};
}

void Component::restamp() {
    if (m_loaded)
        return;
    m_read.reset();
    m_readTaken = false;
    if (auto now = DiskFile::stamp(m_path))
        m_stamp = *now;
}

void Component::keepRead(DiskFile::Contents contents) {
    if (m_loaded || m_isNew || m_document)
        return;
    m_read = std::move(contents);
    m_readTaken = false;
}

void Component::retakeFromDocument() {
    if (!m_document || m_isNew || m_documentIndex >= m_document->modules().size())
        return;
    m_code = trapline::CodeModule(m_document->modules()[m_documentIndex].source, m_lead);
    m_code.setParent(this);
    m_code.countWindowLines();
    m_stamp = m_document->stamp();
}

void Component::unload() {
    if (!m_loaded || m_isNew || m_document)
        return;
    m_read.reset(); // a file held for a replacement not staged is let go
    m_readTaken = false;
    m_code = trapline::CodeModule(std::string(), m_lead);
    m_code.setParent(this);
    m_loaded = false;
}

Component::Component(std::string name, std::string path)
    : m_name(std::move(name)), m_type(ComponentType::StdModule), m_path(std::move(path)),
      m_isNew(true) {
    m_code.setParent(this);
}

Result<void> Component::setName(std::string name) {
    if (!m_isNew)
        return makeError(errors::InvalidCall, m_path,
                         "a component read from a file keeps its name");
    // A new module's file is named after it.
    if (size_t slash = m_path.rfind('/'); !m_path.empty())
        m_path = m_path.substr(0, slash == std::string::npos ? 0 : slash + 1) + name + ".bas";
    m_name = std::move(name);
    return {};
}

std::string Component::serialize() const {
    if (!m_isNew)
        return m_code.serialize();
    std::string text = "Attribute VB_Name = \"" + m_name + "\"" + std::string(m_code.eol());
    return text + m_code.serialize();
}

std::vector<std::string_view> Component::pieces() {
    std::vector<std::string_view> out = m_code.pieces();
    if (m_isNew) {
        m_newHead = "Attribute VB_Name = \"" + m_name + "\"" + std::string(m_code.eol());
        out.insert(out.begin(), m_newHead);
    }
    return out;
}

Result<std::optional<DiskFile::Staged>> Component::stageSave(bool backup) {
    if (!needsSave())
        return std::optional<DiskFile::Staged>();
    // Its bytes are not the file's: the document is written whole.
    if (m_document)
        return makeError(errors::InvalidCall, m_path,
                         "a module of an Office document is saved with its document");
    if (m_path.empty())
        return makeError(errors::PathAccess, m_name, "the component has no file to be saved to");
    // Changes made to the empty stand-in of a file that could not be read
    // would replace the whole file with them.
    if (!m_loaded)
        return makeError(m_loadError ? m_loadError->number : errors::PathAccess, m_path,
                         "not written: the file could not be read" +
                             (m_loadError ? " (" + m_loadError->description + ")" : std::string()));
    auto staged = DiskFile::stage(m_path, pieces(), m_isNew ? nullptr : &m_stamp,
                                  backup && !m_isNew, m_isNew);
    if (!staged)
        return staged.error();
    return std::optional<DiskFile::Staged>(std::move(*staged));
}

void Component::saved(FileStamp stamp) {
    m_stamp = stamp;
    m_isNew = false;
    m_code.markSaved();
}

Result<void> Component::save(bool backup) {
    auto staged = stageSave(backup);
    if (!staged)
        return staged.error();
    if (!*staged)
        return {};
    DiskFile::flush({&**staged});
    auto written = DiskFile::commit(**staged);
    if (!written)
        return written.error();
    DiskFile::syncFolders({DiskFile::folderOfTarget(m_path)});
    saved(written->stamp);
    return {};
}

} // namespace trapline
