#!/bin/sh
# Plants faults one at a time and tells which of them the tests catch.
#
#   tools/mutants.sh <source tree> <build dir> <result file> <patch>...
#
# Each patch is applied to the (clean, git-tracked) source tree, the tree is
# built and the tests run; the patch is then reverted, whatever happened. A
# line per patch goes to the result file: "caught", "missed" or "no-build".
# Run it on a copy of the repository, never on a tree you are editing: the
# revert is a `git checkout` of the files the patch touches.
#
# A file "<patch without .patch>.targets" beside a patch may name what to
# build for it (names separated by blanks, e.g. "engine_tests cli_tests
# trapline"); the programs among them whose name ends in "_tests" are run,
# each stopping at its first failure. Without it the whole tree is built and
# ctest runs every test.
# TRAPLINE_BUILD_LOCK names a lock file held around each build and test run.
set -u
if [ "${1:-}" = --run ]; then # internal: builds the named targets and runs their tests
    build=$(realpath "$2")
    shift 2
    cmake --build "$build" -j2 --target "$@" || exit 2
    # As ctest runs them: the Qt suites draw off screen.
    export QT_QPA_PLATFORM=offscreen
    for t in "$@"; do
        case $t in *_tests) ;; *) continue ;; esac
        program=$(find "$build" -name "$t" -type f -perm -u+x | head -n 1)
        [ -n "$program" ] || exit 1
        (cd "$(dirname "$program")" && timeout 900 "$program" --gtest_brief=1 --gtest_fail_fast) ||
            exit 1
    done
    exit 0
fi
if [ "${1:-}" = --all ]; then # internal: builds everything and runs ctest
    cmake --build "$2" -j2 || exit 2
    timeout 1800 ctest --test-dir "$2" -j2 --stop-on-failure || exit 1
    exit 0
fi
tree=$(realpath "$1") build=$(realpath "$2") results=$(realpath "$3")
shift 3
lock=${TRAPLINE_BUILD_LOCK:-}
# Several patches go under one hold of the lock (TRAPLINE_MUTANTS_PER_HOLD,
# default 3): waiting for the lock costs more than a patch does.
if [ -n "$lock" ] && [ $# -gt 1 ]; then
    per=${TRAPLINE_MUTANTS_PER_HOLD:-3}
    while [ $# -gt 0 ]; do
        group=
        n=0
        while [ $# -gt 0 ] && [ $n -lt "$per" ]; do
            group="$group $1"
            shift
            n=$((n + 1))
        done
        # shellcheck disable=SC2086 # one patch per word
        TRAPLINE_BUILD_LOCK= flock -o "$lock" "$0" "$tree" "$build" "$results" $group
    done
    exit 0
fi
locked() {
    if [ -n "$lock" ]; then flock -o "$lock" "$@"; else "$@"; fi
}
for patch in "$@"; do
    patch=$(realpath "$patch")
    name=$(basename "$patch" .patch)
    targets=
    [ -f "${patch%.patch}.targets" ] && targets=$(cat "${patch%.patch}.targets")
    # Only the patch's own files are put back: the tree may hold other changes.
    files=$(git -C "$tree" apply --numstat "$patch" | cut -f3)
    if ! git -C "$tree" apply "$patch"; then
        echo "$name not-applied" >>"$results"
        continue
    fi
    # Built and run under one hold of the lock.
    # shellcheck disable=SC2086 # one name per word
    if [ -n "$targets" ]; then
        locked "$0" --run "$build" $targets >"$build/mutant-$name.log" 2>&1
    else
        locked "$0" --all "$build" >"$build/mutant-$name.log" 2>&1
    fi
    case $? in
    0) verdict=missed ;;
    2) verdict=no-build ;;
    *) verdict=caught ;;
    esac
    # shellcheck disable=SC2086 # one path per word
    git -C "$tree" checkout -- $files
    echo "$name $verdict" >>"$results"
done
