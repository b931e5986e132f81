#pragma once

#include "commandbarcontrol.h"
#include "result.h"

#include <optional>
#include <string>

namespace vbide {

/// The kinds of control `CommandBarControls::Add` makes.
inline constexpr long msoControlButton = 1;

/// The controls of one command bar, numbered from 1.
class CommandBarControls {
public:
    virtual ~CommandBarControls() = default;

    virtual long Count() const = 0;
    virtual trapline::Result<CommandBarControl*> Item(long index) = 0;
    /// Adds a control; an omitted argument is std::nullopt. `Before` is the
    /// 1-based position the new control takes (omitted: at the end); a
    /// position the bar does not have is an error (5). Only `Type` 1, a
    /// plain button, is made; others are an error too.
    virtual trapline::Result<CommandBarControl*>
    Add(std::optional<long> Type = std::nullopt, std::optional<long> Id = std::nullopt,
        std::optional<std::string> Parameter = std::nullopt,
        std::optional<long> Before = std::nullopt,
        std::optional<bool> Temporary = std::nullopt) = 0;
};

} // namespace vbide
