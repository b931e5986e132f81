#pragma once

#include "project.h"

#include <memory>

namespace trapline {

/// The root object: the project being edited. The environment's root object
/// extends it with command bars and events.
class VBE {
public:
    VBE() = default;
    explicit VBE(std::unique_ptr<Project> project) : m_project(std::move(project)) {}
    virtual ~VBE() = default;
    VBE(const VBE&) = delete;
    VBE& operator=(const VBE&) = delete;

    /// Null when no project is open.
    Project* ActiveVBProject() const { return m_project.get(); }
    /// Makes `project` the active one (null: none); the old one is closed.
    void setActiveVBProject(std::unique_ptr<Project> project) { m_project = std::move(project); }

private:
    std::unique_ptr<Project> m_project;
};

} // namespace trapline
