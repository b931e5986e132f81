#pragma once

#include "command.h"

namespace trapline::cli {

/// `trapline add-error-module`: adds mdl_Error with MyErrorHandler to a project.
class ErrorModuleCommand : public Command {
public:
    using Command::Command;

protected:
    const char* usage() const override;
    int execute(const std::vector<std::string>& args) override;
};

} // namespace trapline::cli
