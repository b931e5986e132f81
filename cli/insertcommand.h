#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace trapline::cli {

/// `trapline insert`: puts error handling into the chosen procedures.
class InsertCommand {
public:
    InsertCommand(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}
    /// Runs with the arguments after "insert"; returns the exit code.
    int run(const std::vector<std::string>& args);
    static const char* usage();

private:
    std::FILE* m_out;
    std::FILE* m_err;
};

} // namespace trapline::cli
