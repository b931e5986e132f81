#include "environmentvbe.h"

trapline::Result<vbide::CommandBar*> EnvironmentVBE::Item(long index) {
    if (index < 1 || index > Count())
        return trapline::makeError(trapline::errors::OutOfRange, "CommandBars",
                                   "no command bar " + std::to_string(index));
    return static_cast<vbide::CommandBar*>(m_bars[index - 1].get());
}

trapline::Result<vbide::CommandBar*> EnvironmentVBE::Item(const std::string& name) {
    for (const auto& bar : m_bars)
        if (bar->Name() == name)
            return static_cast<vbide::CommandBar*>(bar.get());
    return trapline::makeError(trapline::errors::InvalidCall, "CommandBars",
                               "no command bar named \"" + name + "\"");
}

trapline::Result<vbide::CommandBarEventSource*>
EnvironmentVBE::CommandBarEvents(vbide::CommandBarControl* control) {
    for (const auto& bar : m_bars)
        if (QtCommandBarControl* own = bar->find(control))
            return static_cast<vbide::CommandBarEventSource*>(own);
    return trapline::makeError(trapline::errors::InvalidCall, "Events.CommandBarEvents",
                               "not a control of this environment");
}

QtCommandBar& EnvironmentVBE::addBar(const std::string& name, QWidget* widget) {
    m_bars.push_back(std::make_unique<QtCommandBar>(name, widget));
    return *m_bars.back();
}
