#pragma once

#include "runreporter.h"

#include <cstdio>
#include <string>

namespace trapline::cli {

/// Collects a run's log lines (with plain line ends) for the command to print.
class CliReporter : public RunReporter {
public:
    explicit CliReporter(std::string& sink) : m_sink(sink) {}
    void log(const std::string& line) override;
    void busy(bool) override {}

private:
    std::string& m_sink;
};

/// Progress through a project's files on stderr, only when a person is
/// watching it there (never when `err` is null).
class ProgressLine {
public:
    explicit ProgressLine(std::FILE* err);
    void show(size_t done, size_t total);

private:
    std::FILE* m_err;
    bool m_enabled;
    size_t m_lastShown = 0;
};

} // namespace trapline::cli
