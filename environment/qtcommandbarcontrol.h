#pragma once

#include "commandbarcontrol.h"
#include "commandbarevents.h"

#include <QPointer>

class QAction;
class QtCommandBar;

/// A command-bar control of the environment: one QAction on its bar's menu
/// or toolbar. It is also the control's event source, raising Click when the
/// action is triggered, so the environment's own commands and those added by
/// add-ins work alike.
class QtCommandBarControl : public vbide::CommandBarControl, public vbide::CommandBarEvents {
public:
    /// With `ownsAction`, deleting the control deletes the action too (the
    /// controls add-ins add); the environment's own commands stay its own.
    QtCommandBarControl(QtCommandBar& bar, QAction* action, bool ownsAction);
    ~QtCommandBarControl() override;

    std::string Caption() const override;
    trapline::Result<void> setCaption(const std::string& caption) override;
    trapline::Result<void> PasteFace() override;
    trapline::Result<void> Delete() override;

    void setClick(ClickHandler handler) override;

    QAction* action() const { return m_action; }

private:
    QtCommandBar& m_bar;
    QPointer<QAction> m_action;
    ClickHandler m_click;
    bool m_ownsAction;
};
