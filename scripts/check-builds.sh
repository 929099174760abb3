#!/usr/bin/env bash
# The checking builds (their options are the presets of CMakePresets.json), each in a folder of
# its own beside the Release build, each followed by its tests:
#   asan   clang with AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer's coverage:
#          the unit, host and thread tests and the fuzz targets over their seeds; once these
#          pass, each fuzz target for a bounded time (scripts/fuzz.sh).
#   debug  Debug at -O1: the framework's assertions and leak detector on; every test.
#   tsan   clang with ThreadSanitizer: the thread check.
# The three variants run at the same time, each its build, then its tests, then (asan) its
# fuzzing, so that no variant waits for another. Their shares of the cores add up to more than
# all of them: a build spends its end on a few large framework units, and the others fill the
# cores it leaves. Each step runs in a bash of its own, its output in its folder (build.log,
# test.log, fuzz.log); it prints one line with its time, or the end of its log when it fails.
# Any failed step fails the script, and a failed build skips its own tests.
#
#   scripts/check-builds.sh [FUZZ_SECONDS]   (per fuzz target, default 60; 0 fuzzes nothing)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
base=${BRIMWELL_BUILD_DIR:-$root/build}
# share QUARTERS: that many quarters of the cores, at least one
share() { local n=$(( $(nproc) * $1 / 4 )); echo $(( n > 0 ? n : 1 )); }

# One step, straight-line: check-builds.sh --step build|test|fuzz VARIANT [FUZZ_SECONDS]
if [[ ${1:-} == --step ]]; then
    step=$2 variant=$3 dir=$base-$3
    # What the variant builds (every target when none is named) and which tests it runs.
    case $variant in
        asan) targets=(brimwell_tests brimwell_host_tests brimwell_thread_tests
                  brimwell_fuzz_model brimwell_fuzz_state brimwell_fuzz_preset)
              tests=(-L '^(unit|host|thread|fuzz)$') jobs=$(share 3) ;;
        debug) targets=() tests=() jobs=$(share 2) ;;
        tsan) targets=(brimwell_thread_tests) tests=(-L '^thread$') jobs=$(share 1) ;;
        *) echo "no variant $variant" >&2; exit 2 ;;
    esac
    case $step in
        build)
            cmake -S "$root" --preset "$variant" -B "$dir"
            cmake --build "$dir" -j"$jobs" ${targets[0]:+--target "${targets[@]}"}
            # The debug build is there for the framework's assertions: without them it fails.
            [[ $variant != debug ]] || grep -q "JUCE Assertion failure" "$dir/tests/brimwell_tests" ||
                { echo "$dir/tests/brimwell_tests has no framework assertions (JUCE_DEBUG off)"; exit 1; }
            ;;
        test)
            ctest --test-dir "$dir" --output-on-failure --no-tests=error --timeout 600 -j"$jobs" "${tests[@]}"
            ;;
        fuzz)
            BRIMWELL_BUILD_DIR="$base" "$root/scripts/fuzz.sh" "$4"
            ;;
        *) echo "no step $step" >&2; exit 2 ;;
    esac
    exit 0
fi

fuzz_seconds=${1:-60}
[[ $fuzz_seconds =~ ^[0-9]+$ ]] || { echo "usage: scripts/check-builds.sh [FUZZ_SECONDS]" >&2; exit 2; }

# run STEP VARIANT [FUZZ_SECONDS]: the step in a bash of its own, its status checked here.
run() {
    local step=$1 variant=$2 log="$base-$2/$1.log" start=$SECONDS status=0
    mkdir -p "$base-$variant"
    "$BASH" "$0" --step "$@" > "$log" 2>&1 || status=$?
    if [[ $status -ne 0 ]]; then
        echo "$variant $step: FAILED (exit $status) after $(( SECONDS - start )) s; the end of $log:"
        tail -60 "$log"
        return 1
    fi
    case $step in
        test) echo "$variant test: $(grep -E 'tests passed' "$log" | tail -1) ($(( SECONDS - start )) s)" ;;
        fuzz) sed "s/^/$variant fuzz: /" "$log" ;;
        *) echo "$variant $step: $(( SECONDS - start )) s" ;;
    esac
}

# pipeline VARIANT FUZZ_SECONDS: the variant's build, its tests once it is built, its fuzzing
# once they pass.
pipeline() {
    run build "$1" || return 1
    run test "$1" || return 1
    [[ $2 -eq 0 ]] || run fuzz "$1" "$2"
}

pids=()
status=0
for variant in asan debug tsan; do
    fuzz=0
    [[ $variant != asan ]] || fuzz=$fuzz_seconds
    pipeline "$variant" "$fuzz" &
    pids+=($!)
done
for pid in "${pids[@]}"; do
    wait "$pid" || status=1
done
echo "checking builds: $([[ $status -eq 0 ]] && echo passed || echo FAILED) after $SECONDS s"
exit $status
