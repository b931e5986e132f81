#pragma once

#include "component.h"
#include "result.h"

#include <memory>
#include <string>
#include <vector>

namespace trapline {

/// The components of a project, indexed from 1 as the IDE indexes them.
class Components {
public:
    long Count() const { return static_cast<long>(m_items.size()); }
    /// The component at 1-based `index`; error 9 outside 1..Count().
    Result<Component*> Item(long index) const;
    /// Adds a new standard module (`type` 1, the only kind that can be added),
    /// named "Module<n>" with the first n not in use.
    Result<Component*> Add(int type);

    /// Adds `component`, whose text is in the project's code page unless its
    /// document has its own.
    Component* append(std::unique_ptr<Component> component);
    /// The project's code page, given to every component added from now on.
    void setCodepage(const Codepage& codepage) { m_codepage = codepage; }
    /// The folder new modules are written to.
    void setFolder(std::string folder) { m_folder = std::move(folder); }

private:
    std::vector<std::unique_ptr<Component>> m_items;
    std::string m_folder = ".";
    Codepage m_codepage;
};

} // namespace trapline
