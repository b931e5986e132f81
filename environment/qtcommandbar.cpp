#include "qtcommandbar.h"

#include <QAction>

QtCommandBar::QtCommandBar(std::string name, QWidget* widget)
    : m_name(std::move(name)), m_widget(widget) {}

QtCommandBar::~QtCommandBar() = default;

bool QtCommandBar::Visible() const {
    return m_widget && !m_widget->isHidden();
}

void QtCommandBar::setVisible(bool visible) {
    if (m_widget)
        m_widget->setVisible(visible);
}

trapline::Result<vbide::CommandBarControl*> QtCommandBar::Item(long index) {
    if (index < 1 || index > Count())
        return trapline::makeError(trapline::errors::OutOfRange, "CommandBarControls",
                                   "no control " + std::to_string(index) + " on " + m_name);
    return static_cast<vbide::CommandBarControl*>(m_controls[index - 1].get());
}

trapline::Result<vbide::CommandBarControl*>
QtCommandBar::Add(std::optional<long> Type, std::optional<long>, std::optional<std::string>,
                  std::optional<long> Before, std::optional<bool>) {
    if (Type && *Type != vbide::msoControlButton)
        return trapline::makeError(trapline::errors::InvalidCall, "CommandBarControls.Add",
                                   "only buttons (Type 1) can be added");
    // Office numbers positions from 1; a position the bar does not have,
    // such as 0 on an empty bar, is refused as it is there.
    if (Before && (*Before < 1 || *Before > Count() + 1))
        return trapline::makeError(trapline::errors::InvalidCall, "CommandBarControls.Add",
                                   "invalid position " + std::to_string(*Before) + " on " + m_name);
    if (!m_widget)
        return trapline::makeError(trapline::errors::NoObject, "CommandBarControls.Add",
                                   m_name + " is gone");
    auto* action = new QAction(m_widget);
    const size_t at = Before ? static_cast<size_t>(*Before - 1) : m_controls.size();
    QAction* next = at < m_controls.size() ? m_controls[at]->action() : nullptr;
    m_widget->insertAction(next, action);
    auto control = std::make_unique<QtCommandBarControl>(*this, action, true);
    QtCommandBarControl* raw = control.get();
    m_controls.insert(m_controls.begin() + static_cast<long>(at), std::move(control));
    return static_cast<vbide::CommandBarControl*>(raw);
}

QtCommandBarControl* QtCommandBar::adopt(QAction* action) {
    m_controls.push_back(std::make_unique<QtCommandBarControl>(*this, action, false));
    return m_controls.back().get();
}

trapline::Result<void> QtCommandBar::remove(QtCommandBarControl* control) {
    for (auto it = m_controls.begin(); it != m_controls.end(); ++it)
        if (it->get() == control) {
            m_controls.erase(it);
            return {};
        }
    return trapline::makeError(trapline::errors::InvalidCall, "CommandBarControl.Delete",
                               "the control is not on " + m_name);
}

QtCommandBarControl* QtCommandBar::find(const vbide::CommandBarControl* control) const {
    for (const auto& c : m_controls)
        if (c.get() == control)
            return c.get();
    return nullptr;
}
