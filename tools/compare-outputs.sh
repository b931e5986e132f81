#!/bin/bash
# Runs two builds of trapline over copies of the same trees, command by
# command, and compares everything they give: every byte of every file left
# in the tree, stdout, stderr and the exit status. For changes that must not
# change what the tool does (speed work, refactoring).
#
#   tools/compare-outputs.sh OLD-TRAPLINE NEW-TRAPLINE TREE...
#
# Each TREE is copied afresh for each command, at the same relative path for
# both builds, so that messages naming files read the same. Commands that
# need a treated tree (remove, refresh, check of it, unnumber) run after an
# insert or number of the same build. Exit status 0 when all agree.
set -u
if [ $# -lt 3 ]; then
    echo "usage: $0 OLD-TRAPLINE NEW-TRAPLINE TREE..." >&2
    exit 2
fi
old=$(realpath "$1")
new=$(realpath "$2")
shift 2
work=$(mktemp -d "${TMPDIR:-/tmp}/trapline-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
templates="$work/templates"
mkdir -p "$templates"
printf "On Error GoTo Fail_#PROC#\r\n" >"$templates/header.txt"
printf "Exit ???\r\nFail_#PROC#:\r\n    Report \"#MODULE#.#PROC#\", Err.Number\r\n" \
    >"$templates/footer.txt"
tpl="--header $templates/header.txt --footer $templates/footer.txt"

# Each scenario: a name, then the commands run one after another on one copy,
# separated by ';'. Every command's output is compared, then the tree.
scenarios=(
    "insert-live|insert --live --include-trapped"
    "insert-comment|insert"
    "insert-erl|insert --live --erl"
    "insert-templates|insert $tpl"
    "insert-dry-run|insert --live --dry-run"
    "insert-json|insert --live --json"
    "check-text|check --live --include-trapped"
    "check-json|check --format json --line-numbers"
    "check-sarif|check --format sarif"
    "list|list --json"
    "remove|insert --live;remove --live"
    "remove-templates|insert $tpl;remove $tpl;check $tpl"
    "refresh|insert --live --include-trapped;refresh --live;check --live --format json"
    "number|number;unnumber"
    "renumber|number --start 5 --step 3;number --renumber --json"
    "number-insert|insert --live --erl;number;remove --live --erl"
)

failures=0
runs=0
for tree in "$@"; do
    src=$(realpath "$tree")
    base=$(basename "$src")
    for scenario in "${scenarios[@]}"; do
        name=${scenario%%|*}
        IFS=';' read -r -a commands <<<"${scenario#*|}"
        for side in old new; do
            rm -rf "${work:?}/$side"
            mkdir -p "$work/$side"
            cp -a "$src" "$work/$side/$base"
        done
        step=0
        for command in "${commands[@]}"; do
            step=$((step + 1))
            for side in old new; do
                binary=${!side}
                # shellcheck disable=SC2086 # the command is split into its words
                (cd "$work/$side" && "$binary" $command "$base" \
                    >"$work/$side.out" 2>"$work/$side.err"
                 echo $? >"$work/$side.rc")
            done
            runs=$((runs + 1))
            for stream in out err rc; do
                if ! cmp -s "$work/old.$stream" "$work/new.$stream"; then
                    echo "DIFFER $base $name step $step ($command): $stream" >&2
                    diff "$work/old.$stream" "$work/new.$stream" | head -20 >&2
                    failures=$((failures + 1))
                fi
            done
        done
        if ! diff -r "$work/old/$base" "$work/new/$base" >/dev/null; then
            echo "DIFFER $base $name: files written" >&2
            diff -rq "$work/old/$base" "$work/new/$base" | head -20 >&2
            failures=$((failures + 1))
        fi
    done
done
echo "compare-outputs: $runs runs over $# trees, $failures differences"
[ "$failures" -eq 0 ]
