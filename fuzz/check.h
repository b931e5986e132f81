#pragma once

#include <cstdio>
#include <cstdlib>

/// Stops the fuzzer with the broken invariant named: libFuzzer keeps the input.
[[noreturn]] inline void fuzzCheckFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: broken: %s\n", file, line, what);
    std::abort();
}

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond))                                                                               \
            fuzzCheckFailed(#cond, __FILE__, __LINE__);                                            \
    } while (0)
