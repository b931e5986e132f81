#pragma once

#include "command.h"

#include <string>
#include <vector>

namespace trapline::cli {

/// `trapline list`: prints the procedure catalogue of a project.
class ListCommand : public Command {
public:
    using Command::Command;

protected:
    const char* name() const override { return "list"; }
    const char* usage() const override;
    void define(CLI::App& app) override;
    int execute() override;

private:
    std::vector<std::string> m_paths;
    std::string m_module = "*";
    std::string m_codepage = "1251";
    bool m_subs = false;
    bool m_functions = false;
    bool m_properties = false;
    bool m_withoutTrap = false;
    bool m_json = false;
    bool m_removeSignature = false;
};

} // namespace trapline::cli
