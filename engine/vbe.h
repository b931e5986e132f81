#pragma once

#include "project.h"

#include <memory>

namespace trapline {

/// The root object: the project being edited.
class VBE {
public:
    VBE() = default;
    explicit VBE(std::unique_ptr<Project> project) : m_project(std::move(project)) {}
    /// Null when no project is open.
    Project* ActiveVBProject() const { return m_project.get(); }

private:
    std::unique_ptr<Project> m_project;
};

} // namespace trapline
