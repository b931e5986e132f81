#pragma once

#include <cstdint>
#include <string>

/// What both benchmarks take from their command line:
/// [--seed N] [--files N] [--lines N] [--keep DIR].
struct BenchOptions {
    uint64_t seed = 20261206;
    long files = 2000;
    long totalLines = 1000000;
    std::string keep; ///< where to build the trees, and keep them; empty: a temporary folder

    static BenchOptions parse(int argc, char** argv) {
        BenchOptions o;
        for (int i = 1; i + 1 < argc; i += 2) {
            const std::string a = argv[i];
            if (a == "--seed")
                o.seed = std::stoull(argv[i + 1]);
            else if (a == "--files")
                o.files = std::stol(argv[i + 1]);
            else if (a == "--lines")
                o.totalLines = std::stol(argv[i + 1]);
            else if (a == "--keep")
                o.keep = argv[i + 1];
        }
        return o;
    }
};
