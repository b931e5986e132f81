#pragma once

#include <string>
#include <vector>

/// What a program run cost.
struct Timing {
    double seconds = 0;
    long peakKb = 0; ///< peak resident memory
    int status = 0;  ///< exit status; -1 when it did not exit
};

/// Runs a program, its output thrown away, after a sync so that it does not
/// pay for the write-back of what ran before it.
Timing timed(const std::vector<std::string>& argv);
