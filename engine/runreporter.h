#pragma once

#include <string>

namespace trapline {

/// Where an insertion run or a procedure-list fill reports besides message
/// boxes: the log lines the window shows in its log box and the command line
/// prints, and the busy indicator (hourglass, or progress on stderr).
class RunReporter {
public:
    virtual ~RunReporter() = default;
    /// One log line, UTF-8, ending in CR LF.
    virtual void log(const std::string& line) = 0;
    virtual void busy(bool on) = 0;
    /// `done` of `total` catalogue entries handled; for progress displays.
    virtual void progress(size_t done, size_t total) {
        (void)done;
        (void)total;
    }
};

/// Reports nowhere.
class NullReporter : public RunReporter {
public:
    void log(const std::string&) override {}
    void busy(bool) override {}
};

} // namespace trapline
