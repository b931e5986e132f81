#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace trapline::cli {

/// `trapline add-error-module`: adds mdl_Error with MyErrorHandler to a project.
class ErrorModuleCommand {
public:
    ErrorModuleCommand(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}
    int run(const std::vector<std::string>& args);
    static const char* usage();

private:
    std::FILE* m_out;
    std::FILE* m_err;
};

} // namespace trapline::cli
