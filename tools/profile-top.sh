#!/bin/bash
# Prints where a trapline command spends its instructions on a tree: the
# total, instructions per byte of module source, system calls per module file
# and the twenty functions that cost the most themselves (every thread
# counted together). The tree is copied first; it is never changed.
#
#   tools/profile-top.sh TRAPLINE TREE [COMMAND [OPTION...]]
#
# COMMAND defaults to "insert --live --include-trapped". Needs valgrind
# (callgrind_annotate comes with it); strace is used when installed.
set -eu
if [ $# -lt 2 ]; then
    echo "usage: $0 TRAPLINE TREE [COMMAND [OPTION...]]" >&2
    exit 2
fi
binary=$(realpath "$1")
tree=$(realpath "$2")
shift 2
[ $# -gt 0 ] || set -- insert --live --include-trapped
work=$(mktemp -d "${TMPDIR:-/tmp}/trapline-profile.XXXXXX")
trap 'rm -rf "$work"' EXIT

modules=$(find "$tree" -type f \( -iname '*.bas' -o -iname '*.cls' -o -iname '*.frm' \
    -o -iname '*.ctl' -o -iname '*.pag' -o -iname '*.dob' -o -iname '*.dsr' \) | wc -l)
bytes=$(find "$tree" -type f \( -iname '*.bas' -o -iname '*.cls' -o -iname '*.frm' \
    -o -iname '*.ctl' -o -iname '*.pag' -o -iname '*.dob' -o -iname '*.dsr' \) \
    -printf '%s\n' | awk '{s += $1} END {print s + 0}')

cp -a "$tree" "$work/tree"
valgrind --tool=callgrind --separate-threads=no --callgrind-out-file="$work/callgrind.out" \
    "$binary" "$@" "$work/tree" >/dev/null 2>&1 || true
total=$(awk '/^(summary|totals):/ {print $2; exit}' "$work/callgrind.out")
echo "trapline $*: $modules module files, $bytes bytes"
awk -v t="$total" -v b="$bytes" \
    'BEGIN {printf "instructions: %.3f G, %.1f per byte of module source\n", t / 1e9, t / b}'

if command -v strace >/dev/null; then
    rm -rf "$work/tree"
    cp -a "$tree" "$work/tree"
    strace -f -c -o "$work/strace.out" "$binary" "$@" "$work/tree" >/dev/null 2>&1 || true
    awk -v m="$modules" '/ total$/ {printf "system calls: %d, %.1f per module file\n", $4, $4 / m}' \
        "$work/strace.out"
fi
echo
callgrind_annotate --inclusive=no "$work/callgrind.out" 2>/dev/null |
    awk '/^-+$/ {rule++; next} rule >= 3 && NF > 0 && shown < 20 {print; shown++}'
