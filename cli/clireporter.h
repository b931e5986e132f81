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
    void progress(size_t done, size_t total) override;

private:
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_printLog;
    bool m_showProgress;
    size_t m_lastShown = 0;
};

} // namespace trapline::cli
