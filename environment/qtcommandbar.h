#pragma once

#include "commandbar.h"
#include "qtcommandbarcontrol.h"

#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

/// A command bar of the environment over a QMenuBar, QToolBar or QMenu: its
/// controls are the widget's actions that the bar made.
class QtCommandBar : public vbide::CommandBar, public vbide::CommandBarControls {
public:
    QtCommandBar(std::string name, QWidget* widget);
    ~QtCommandBar() override;

    std::string Name() const override { return m_name; }
    bool Visible() const override;
    void setVisible(bool visible) override;
    vbide::CommandBarControls& Controls() override { return *this; }

    long Count() const override { return static_cast<long>(m_controls.size()); }
    trapline::Result<vbide::CommandBarControl*> Item(long index) override;
    trapline::Result<vbide::CommandBarControl*>
    Add(std::optional<long> Type, std::optional<long> Id, std::optional<std::string> Parameter,
        std::optional<long> Before, std::optional<bool> Temporary) override;

    /// Adds an action the environment made itself (a menu or a command).
    QtCommandBarControl* adopt(QAction* action);
    /// Removes a control of this bar and deletes it.
    trapline::Result<void> remove(QtCommandBarControl* control);
    QtCommandBarControl* find(const vbide::CommandBarControl* control) const;

private:
    std::string m_name;
    QPointer<QWidget> m_widget;
    std::vector<std::unique_ptr<QtCommandBarControl>> m_controls;
};
