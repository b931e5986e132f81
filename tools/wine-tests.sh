#!/usr/bin/env bash
# Runs one Windows build's test suite under wine:
#   tools/wine-tests.sh BUILD [JOBS] [DISPLAY]
# DISPLAY is the X display number from which a free one is looked for.
# WINEPREFIX and the rest of wine's environment come from the caller, whose
# wine session for that prefix is already running.
set -euo pipefail
build=$1 jobs=${2:-2} display=${3:-99}
# The common dialogs' tests open real windows, which need a display; two
# suites started at once must not both take the first free number.
# Now and then wine itself ends a test process with a segmentation fault
# after the test has printed its result (seen once on x86, in a test that had
# only skipped, and never again in a hundred runs): a test must pass in one of
# two runs here, and at once on Linux, where no emulator stands between it and
# the system. A fault of ours fails both runs.
exec xvfb-run -a -n "$display" ctest --test-dir "$build" --output-on-failure -j"$jobs" --timeout 120 \
    --repeat until-pass:2
