#!/usr/bin/env bash
# Builds trapline and runs it on the bundled example project.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2 --target trapline >/dev/null
echo "\$ trapline list examples/Ledger.vbp" >&2
build/cli/trapline list examples/Ledger.vbp
