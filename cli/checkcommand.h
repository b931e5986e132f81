#pragma once

#include "command.h"
#include "handleroptions.h"

#include <cstdio>
#include <string>
#include <vector>

namespace trapline::cli {

/// `trapline check`: reports what `insert` would do and handlers whose names
/// are out of date, as text, JSON or SARIF, and fails when there is any.
class CheckCommand : public Command {
public:
    using Command::Command;

protected:
    const char* name() const override { return "check"; }
    const char* usage() const override;
    void define(CLI::App& app) override;
    int execute() override;
    void refused(const std::vector<std::string>& args, const std::string& message) override;

private:
    /// The check itself; its messages go to `err`.
    int check(TextOut& err);

    std::vector<std::string> m_paths;
    HandlerOptions m_handler;
    std::string m_format = "text";
    bool m_lineNumbers = false;
    bool m_removeSignature = false;
};

} // namespace trapline::cli
