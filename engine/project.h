#pragma once

#include "codepage.h"
#include "components.h"

#include <string>

namespace trapline {

/// A VB6 project: its components, the .vbp it came from (if any) and its code page.
class Project {
public:
    explicit Project(Codepage codepage = Codepage()) : m_codepage(std::move(codepage)) {}

    Components& VBComponents() { return m_components; }
    const Components& VBComponents() const { return m_components; }

    const Codepage& codepage() const { return m_codepage; }
    const std::string& Name() const { return m_name; }
    void setName(std::string name) { m_name = std::move(name); }
    /// The .vbp file, empty for a project made of a folder or of single files.
    const std::string& fileName() const { return m_fileName; }
    void setFileName(std::string path) { m_fileName = std::move(path); }

private:
    Codepage m_codepage;
    Components m_components;
    std::string m_name;
    std::string m_fileName;
};

} // namespace trapline
