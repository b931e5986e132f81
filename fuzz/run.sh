#!/usr/bin/env bash
# Builds the fuzz targets in build-fuzz and runs each for $FUZZ_SECONDS
# (default 20) on a scratch copy of its seed corpus, so what a run discovers
# never grows the committed seeds. Exits non-zero on any crash, sanitizer
# report, broken invariant or failure of the fuzzer itself.
#
#   FUZZ_SECONDS=60 fuzz/run.sh            # every fuzzer
#   fuzz/run.sh module_fuzzer              # just one
#   FUZZ_JOBS=2 fuzz/run.sh                # build parallelism (default 2)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

seconds="${FUZZ_SECONDS:-20}"
jobs="${FUZZ_JOBS:-2}"
build="$root/build-fuzz"
fuzzers=("$@")
if [ ${#fuzzers[@]} -eq 0 ]; then
    fuzzers=(vbp_fuzzer module_fuzzer diff_fuzzer roundtrip_fuzzer linenumber_fuzzer office_fuzzer)
fi

# Configure when the tree is new or was configured without the fuzz targets.
if [ ! -f "$build/build.ninja" ] ||
    ! grep -q '^TRAPLINE_FUZZ:BOOL=ON$' "$build/CMakeCache.txt" 2>/dev/null; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
        -DTRAPLINE_FUZZ=ON -DTRAPLINE_TESTS=OFF
fi
cmake --build "$build" -j "$jobs" --target "${fuzzers[@]}"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/trapline-fuzz-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

# Halt on the first UBSan finding as on an ASan one; leaks count as failures.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
# Leaks inside the system's libraries, each with its reason, are set aside.
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/fuzz/lsan.supp:print_suppressions=0}"

status=0
for fuzzer in "${fuzzers[@]}"; do
    case "$fuzzer" in
        vbp_fuzzer) seeds="$root/fuzz/corpus/vbp" ;;
        module_fuzzer) seeds="$root/fuzz/corpus/module" ;;
        diff_fuzzer) seeds="$root/fuzz/corpus/diff" ;;
        roundtrip_fuzzer) seeds="$root/fuzz/corpus/module" ;;
        linenumber_fuzzer) seeds="$root/fuzz/corpus/module" ;;
        office_fuzzer) seeds="$root/fuzz/corpus/office" ;;
        *) echo "run.sh: unknown fuzzer '$fuzzer'" >&2; exit 2 ;;
    esac
    corpus="$scratch/$fuzzer-corpus"
    artifacts="$scratch/$fuzzer-artifacts"
    log="$scratch/$fuzzer.log"
    mkdir -p "$corpus" "$artifacts"
    # Documents are compound files of a few sectors at the least.
    max_len=4096
    unwind=
    if [ "$fuzzer" = office_fuzzer ]; then
        max_len=65536
        # A leak inside libgsf is known by its whole stack: glib has no frame
        # pointers to unwind the quick way through.
        unwind=:fast_unwind_on_malloc=0
    fi
    cp -R "$seeds/." "$corpus/"

    echo "== $fuzzer: ${seconds}s"
    set +e
    # Files a fuzzer makes for itself go in the scratch folder too, so a run
    # cut short by a crash leaves nothing behind.
    TMPDIR="$scratch" ASAN_OPTIONS="$ASAN_OPTIONS$unwind" "$build/fuzz/$fuzzer" "$corpus" \
        -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$artifacts/" -print_final_stats=1 >"$log" 2>&1
    rc=$?
    set -e

    # The figures worth keeping from the run: speed, coverage, corpus.
    grep -E '^#[0-9]+\s+DONE|^stat::' "$log" || true
    failed=0
    if [ $rc -ne 0 ]; then
        failed=1
    elif grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|broken at line' "$log"; then
        failed=1
    fi
    if [ $failed -ne 0 ]; then
        status=1
        echo "!! $fuzzer failed (exit $rc); end of its log:" >&2
        tail -n 60 "$log" >&2
        # Keep what reproduces the failure; the scratch folder goes away.
        if compgen -G "$artifacts/*" >/dev/null; then
            kept="$build/artifacts/$fuzzer"
            mkdir -p "$kept"
            cp "$artifacts"/* "$kept/"
            echo "!! reproducer(s) kept in $kept" >&2
        fi
    fi
done
exit $status
