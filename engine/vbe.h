#pragma once

#include "project.h"

#include <memory>

namespace trapline {

/// The root object: the project being edited. The environment's root object
/// extends it with command bars and events. The active project is either
/// owned here or, where several are open (a group, a folder of projects),
/// owned by the caller and only pointed at.
class VBE {
public:
    VBE() = default;
    explicit VBE(std::unique_ptr<Project> project)
        : m_project(std::move(project)), m_active(m_project.get()) {}
    virtual ~VBE() = default;
    VBE(const VBE&) = delete;
    VBE& operator=(const VBE&) = delete;

    /// Null when no project is open.
    Project* ActiveVBProject() const { return m_active; }
    /// Makes `project` the active one (null: none); the old one is closed.
    void setActiveVBProject(std::unique_ptr<Project> project) {
        m_project = std::move(project);
        m_active = m_project.get();
    }
    /// Makes `project`, which the caller owns and keeps alive while it is
    /// active, the active one; a project owned here is closed.
    void setActiveVBProject(Project& project) {
        if (&project != m_project.get())
            m_project.reset();
        m_active = &project;
    }

private:
    std::unique_ptr<Project> m_project;
    Project* m_active = nullptr;
};

} // namespace trapline
