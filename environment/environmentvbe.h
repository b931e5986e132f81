#pragma once

#include "qtcommandbar.h"
#include "vbenvironment.h"

#include <memory>
#include <vector>

class QWidget;

/// The environment's root object as add-ins see it: the active project's
/// code model, the command bars (registered by the main window as it builds
/// its menus and toolbars) and their event sources.
class EnvironmentVBE : public vbide::VBE, public vbide::CommandBars, public vbide::Events {
public:
    explicit EnvironmentVBE(QWidget* mainWindow) : m_mainWindow(mainWindow) {}

    vbide::CommandBarCollection& CommandBars() override { return *this; }
    vbide::EventSources& Events() override { return *this; }
    std::uintptr_t MainWindow() const override {
        return reinterpret_cast<std::uintptr_t>(m_mainWindow);
    }

    long Count() const override { return static_cast<long>(m_bars.size()); }
    trapline::Result<vbide::CommandBar*> Item(long index) override;
    trapline::Result<vbide::CommandBar*> Item(const std::string& name) override;

    trapline::Result<vbide::CommandBarEventSource*>
    CommandBarEvents(vbide::CommandBarControl* control) override;

    /// Adds a bar over `widget` (a QMenuBar, QToolBar or QMenu) as the next one.
    QtCommandBar& addBar(const std::string& name, QWidget* widget);

private:
    QWidget* m_mainWindow;
    std::vector<std::unique_ptr<QtCommandBar>> m_bars;
};
