#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test: the test
# suite, the engine's tests again under address and undefined-behaviour
# sanitizers, each fuzz target for a short, bounded time, and the Windows
# programs and tests, cross-built and run under wine.
set -euo pipefail
cd "$(dirname "$0")/.."

source tools/stages.sh
trap report_stages EXIT

stage "dependencies"
tools/install-deps.sh

stage "build and test"
cmake -S . -B build -G Ninja -DTRAPLINE_WERROR=ON >/dev/null
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2

stage "engine and office tests under sanitizers"
cmake -S . -B build-asan -G Ninja -DTRAPLINE_WERROR=ON -DTRAPLINE_SANITIZE=ON \
    -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan -j2 --target engine_tests office_tests
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    build-asan/tests/engine/engine_tests --gtest_brief=1
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    build-asan/tests/office/office_tests --gtest_brief=1

stage "fuzzing"
FUZZ_SECONDS="${FUZZ_SECONDS:-20}" fuzz/run.sh

stage "Windows (x64 and x86) under wine"
TRAPLINE_LINUX_PROGRAM=$PWD/build/cli/trapline tools/build-windows.sh
