#include "component.h"

namespace trapline {

Component::Component(std::string name, ComponentType type, std::string path, std::string bytes,
                     FileStamp stamp)
    : m_name(std::move(name)), m_type(type), m_path(std::move(path)), m_stamp(stamp),
      m_code(std::move(bytes)) {
    m_code.setParent(this);
}

Component::Component(std::string name, std::string path)
    : m_name(std::move(name)), m_type(ComponentType::StdModule), m_path(std::move(path)),
      m_isNew(true) {
    m_code.setParent(this);
}

Result<void> Component::setName(std::string name) {
    if (!m_isNew)
        return makeError(errors::InvalidCall, m_path, "a component read from a file keeps its name");
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

Result<void> Component::save(bool backup) {
    if (!needsSave())
        return {};
    if (m_path.empty())
        return makeError(errors::PathAccess, m_name, "the component has no file to be saved to");
    auto written = m_isNew ? DiskFile::create(m_path, serialize())
                           : DiskFile::replace(m_path, serialize(), &m_stamp, backup);
    if (!written)
        return written.error();
    m_stamp = *written;
    m_isNew = false;
    return {};
}

} // namespace trapline
