#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace trapline::cli {

/// `trapline list`: prints the procedure catalogue of a project.
class ListCommand {
public:
    ListCommand(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}
    /// Runs with the arguments after "list"; returns the exit code.
    int run(const std::vector<std::string>& args);
    static const char* usage();

private:
    std::FILE* m_out;
    std::FILE* m_err;
};

} // namespace trapline::cli
