#!/usr/bin/env bash
# The checking builds, each in a folder of its own beside the Release build, each followed by
# its tests:
#   -debug  Debug: the framework's assertions and leak detector on; every test.
#   -asan   clang with AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer's coverage:
#           the unit, host and thread tests, and the fuzz targets over their seeds.
#   -tsan   clang with ThreadSanitizer: the thread check.
# The three build at the same time; the sanitizer build, the slowest, takes half the cores and
# the others a quarter each. A stage that fails prints the end of its log.
#
#   scripts/check-builds.sh            (folders: build-debug, build-asan, build-tsan)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
base=${BRIMWELL_BUILD_DIR:-$root/build}
# share QUARTERS: that many quarters of the cores, at least one
share() { local n=$(( $(nproc) * $1 / 4 )); echo $(( n > 0 ? n : 1 )); }
clang=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)

# configure FOLDER CMAKE_OPTION..., build FOLDER JOBS TARGET..., run_tests FOLDER JOBS CTEST_OPTION...
configure() { local dir=$1; shift; cmake -S "$root" -B "$dir" "$@" > /dev/null; }
build() { local dir=$1 jobs=$2; shift 2; cmake --build "$dir" -j"$jobs" ${1:+--target "$@"}; }
run_tests() { local dir=$1 jobs=$2; shift 2; ctest --test-dir "$dir" --output-on-failure --timeout 600 -j"$jobs" "$@"; }

debug() {
    configure "$base-debug" -DCMAKE_BUILD_TYPE=Debug
    build "$base-debug" "$(share 1)"
    run_tests "$base-debug" "$(share 1)"
}

asan() {
    configure "$base-asan" -DCMAKE_BUILD_TYPE=Release "${clang[@]}" \
        -DBRIMWELL_SANITIZE=address,undefined -DBRIMWELL_FUZZ=ON
    build "$base-asan" "$(share 2)" brimwell_tests brimwell_host_tests brimwell_thread_tests \
        brimwell_fuzz_model brimwell_fuzz_state brimwell_fuzz_preset
    run_tests "$base-asan" "$(share 2)" -L '^(unit|host|thread|fuzz)$'
}

tsan() {
    configure "$base-tsan" -DCMAKE_BUILD_TYPE=Release "${clang[@]}" -DBRIMWELL_SANITIZE=thread
    build "$base-tsan" "$(share 1)" brimwell_thread_tests
    run_tests "$base-tsan" 1 -L '^thread$'
}

# Runs a stage with its output in its folder's check.log; prints one line, or the log's end.
stage() {
    local name=$1 log="$base-$1/check.log" start=$SECONDS
    mkdir -p "$base-$name"
    if "$name" > "$log" 2>&1; then
        echo "$name: $(grep -E 'tests passed' "$log" | tail -1) ($(( SECONDS - start )) s)"
    else
        echo "$name: FAILED after $(( SECONDS - start )) s; the end of $log:"
        tail -60 "$log"
        return 1
    fi
}

pids=()
for name in debug asan tsan; do
    stage "$name" &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do
    wait "$pid" || status=1
done
exit $status
