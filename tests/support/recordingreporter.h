#pragma once

#include "runreporter.h"

#include <string>
#include <vector>

/// Keeps the log and the busy indicator's changes for a test to look at.
class RecordingReporter : public trapline::RunReporter {
public:
    void log(const std::string& line) override { text += line; }
    void busy(bool on) override { busyChanges.push_back(on); }

    std::string text;
    std::vector<bool> busyChanges;
};
