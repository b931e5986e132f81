#!/usr/bin/env bash
# Builds trapline and runs the main job on a copy of the bundled example
# project: error handling goes into every procedure that has none yet, and
# the change is shown as a diff. The example itself stays as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2 --target trapline >/dev/null
trapline="$PWD/build/cli/trapline"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r examples "$work/Ledger"
cp -r examples "$work/Ledger.orig"
cd "$work"
echo "\$ trapline insert --live Ledger/Ledger.vbp" >&2
status=0
"$trapline" insert --live Ledger/Ledger.vbp || status=$?
echo >&2
echo "What changed (diff -ru):" >&2
# The files are in Windows-1251; shown in UTF-8 for this terminal.
diff -ru Ledger.orig Ledger | iconv -f CP1251 -t UTF-8 || true
echo >&2
echo "trapline exited with $status (1: a procedure could not be treated; it is named above)." >&2
