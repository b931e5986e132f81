#pragma once

#include "command.h"

namespace trapline::cli {

/// `trapline check`: reports what `insert` would do and handlers whose names
/// are out of date, as text, JSON or SARIF, and fails when there is any.
class CheckCommand : public Command {
public:
    using Command::Command;

protected:
    const char* usage() const override;
    int execute(const std::vector<std::string>& args) override;
};

} // namespace trapline::cli
