#pragma once

#include "command.h"

namespace trapline::cli {

/// `trapline insert`: puts error handling into the chosen procedures.
class InsertCommand : public Command {
public:
    using Command::Command;

protected:
    const char* usage() const override;
    int execute(const std::vector<std::string>& args) override;
};

} // namespace trapline::cli
