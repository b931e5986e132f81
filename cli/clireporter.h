#pragma once

#include "runreporter.h"

#include <cstdio>

namespace trapline::cli {

/// The run's log lines on stdout (unless they are collected for JSON), and
/// progress on stderr when a person is watching it.
class CliReporter : public RunReporter {
public:
    CliReporter(std::FILE* out, std::FILE* err, bool printLog);
    void log(const std::string& line) override;
    void busy(bool on) override;
    /// Progress through the project's files; the run's own per-procedure
    /// progress is not shown, as the command line runs it once per file.
    void fileProgress(size_t done, size_t total);

private:
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_printLog;
    bool m_showProgress;
    size_t m_lastShown = 0;
};

} // namespace trapline::cli
