#pragma once

#include "command.h"

namespace trapline::cli {

/// `trapline list`: prints the procedure catalogue of a project.
class ListCommand : public Command {
public:
    using Command::Command;

protected:
    const char* usage() const override;
    int execute(const std::vector<std::string>& args) override;
};

} // namespace trapline::cli
