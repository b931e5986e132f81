#include "components.h"

namespace trapline {

Result<Component*> Components::Item(long index) const {
    if (index < 1 || index > Count())
        return makeError(errors::OutOfRange, "VBComponents",
                         "Subscript out of range: " + std::to_string(index));
    return m_items[static_cast<size_t>(index - 1)].get();
}

Result<Component*> Components::Add(int type) {
    if (type != static_cast<int>(ComponentType::StdModule))
        return makeError(errors::InvalidCall, "VBComponents", "only standard modules can be added");
    for (int n = 1;; ++n) {
        std::string name = "Module" + std::to_string(n);
        bool taken = false;
        for (const auto& c : m_items)
            taken = taken || c->Name() == name;
        if (!taken)
            return append(std::make_unique<Component>(name, m_folder + "/" + name + ".bas"));
    }
}

Component* Components::append(std::unique_ptr<Component> component) {
    component->setProjectCodepage(m_codepage);
    m_items.push_back(std::move(component));
    return m_items.back().get();
}

} // namespace trapline
