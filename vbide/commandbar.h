#pragma once

#include "commandbarcontrols.h"

#include <string>

namespace vbide {

/// A menu bar, a toolbar or a menu of the environment.
class CommandBar {
public:
    virtual ~CommandBar() = default;

    virtual std::string Name() const = 0;
    virtual bool Visible() const = 0;
    virtual void setVisible(bool visible) = 0;
    virtual CommandBarControls& Controls() = 0;
};

} // namespace vbide
