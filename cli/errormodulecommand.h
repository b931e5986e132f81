#pragma once

#include "command.h"

#include <string>
#include <vector>

namespace trapline::cli {

/// `trapline add-error-module`: adds mdl_Error with MyErrorHandler to a project.
class ErrorModuleCommand : public Command {
public:
    using Command::Command;

protected:
    const char* name() const override { return "add-error-module"; }
    const char* usage() const override;
    void define(CLI::App& app) override;
    int execute() override;

private:
    std::vector<std::string> m_paths;
    std::string m_codepage = "1251";
    bool m_removeSignature = false;
};

} // namespace trapline::cli
