#pragma once

#include "codemodule.h"
#include "diskfile.h"
#include "result.h"

#include <string>

namespace trapline {

/// Component kinds, numbered as the IDE numbers them.
enum class ComponentType {
    StdModule = 1,
    ClassModule = 2,
    Form = 5,
    PropertyPage = 7,
    UserControl = 8,
    UserDocument = 9,
    Designer = 11,
};

/// One component of a project: a module file on disk (or a new one not yet
/// written) and its code.
class Component {
public:
    /// A component read from `path`; `bytes` and `stamp` are what was read.
    Component(std::string name, ComponentType type, std::string path, std::string bytes,
              FileStamp stamp);
    /// A new, empty standard module that exists only in memory until saved.
    Component(std::string name, std::string path);

    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    const std::string& Name() const { return m_name; }
    /// Names a new component (its file becomes "<name>.bas" in the same
    /// folder); a component read from disk keeps its name.
    Result<void> setName(std::string name);
    ComponentType Type() const { return m_type; }
    trapline::CodeModule& CodeModule() { return m_code; }
    const trapline::CodeModule& CodeModule() const { return m_code; }

    const std::string& path() const { return m_path; }
    void setPath(std::string path) { m_path = std::move(path); }
    bool isNew() const { return m_isNew; }
    /// True when saving would write something.
    bool needsSave() const { return m_isNew || m_code.modified(); }

    /// The bytes the file would hold now.
    std::string serialize() const;

    /// Writes the file if it changed, atomically and only if the file on disk
    /// is still the one that was read. `backup` keeps the old one as ".bak".
    /// A new component never overwrites a file that exists.
    Result<void> save(bool backup = false);

private:
    std::string m_name;
    ComponentType m_type;
    std::string m_path;
    FileStamp m_stamp;
    bool m_isNew = false;
    trapline::CodeModule m_code;
};

} // namespace trapline
