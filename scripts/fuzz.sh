#!/usr/bin/env bash
# Fuzzes each target of the sanitizer build (build-asan, made by scripts/check-builds.sh) for a
# bounded time, the three at once, from the committed seeds and what earlier runs here found.
# A crash, timeout, out-of-memory or sanitizer report fails the run; the input that caused it
# is left in build-asan/fuzz/TARGET/.
#
#   scripts/fuzz.sh [SECONDS]          (per target; default 60)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BRIMWELL_BUILD_DIR:-$root/build}-asan
seconds=${1:-60}
seeds="$root/tests/fuzz/seeds"
# As the tests run (tests/CMakeLists.txt): the same framework reports left out.
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:suppressions=$root/tests/sanitizers/ubsan.supp
export LSAN_OPTIONS=suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0

# fuzz TARGET DICTIONARY SEED_FOLDER...
fuzz() {
    local target=$1 dictionary=$2; shift 2
    local binary="$build/tests/fuzz/brimwell_fuzz_$target" work="$build/fuzz/$target"
    [[ -x "$binary" ]] || { echo "$target: no $binary (run scripts/check-builds.sh first)"; return 1; }
    mkdir -p "$work/corpus"
    if "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -dict="$root/tests/fuzz/$dictionary" -artifact_prefix="$work/" "$work/corpus" "$@" \
        > "$work/fuzz.log" 2>&1; then
        echo "$target: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$work/fuzz.log"), corpus $(ls "$work/corpus" | wc -l) inputs"
    else
        echo "$target: FAILED; the end of $work/fuzz.log:"
        tail -60 "$work/fuzz.log"
        return 1
    fi
}

fuzz model model.dict "$seeds/model" "$root/resources/models" &
model=$!
fuzz state state.dict "$seeds/state" &
state=$!
fuzz preset state.dict "$seeds/state" &
preset=$!
status=0
for pid in $model $state $preset; do
    wait "$pid" || status=1
done
exit $status
