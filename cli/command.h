#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace trapline::cli {

/// One `trapline` command: its usage text and what it does.
class Command {
public:
    Command(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}
    virtual ~Command() = default;

    /// Runs with the arguments after the command's name and returns the exit
    /// code; "-h" or "--help" anywhere prints the usage instead.
    int run(const std::vector<std::string>& args);

protected:
    virtual const char* usage() const = 0;
    virtual int execute(const std::vector<std::string>& args) = 0;

    std::FILE* m_out;
    std::FILE* m_err;
};

} // namespace trapline::cli
