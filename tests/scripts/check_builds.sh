#!/usr/bin/env bash
# scripts/check-builds.sh and scripts/fuzz.sh report every failure: a configure, build, test run
# or fuzz run that fails, a ctest that finds no tests, a fuzz binary that is missing and a debug
# build without the framework's assertions each fail the script, whatever the other variants
# do, and a failed build runs none of its own tests (an old build folder's binaries would pass).
# cmake, ctest and the fuzz binaries are fakes, so no real build runs; FAKE_FAIL names the one
# call that fails.
set -euo pipefail
scripts="$(cd "$(dirname "$0")/../.." && pwd)/scripts"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

fake() { printf '#!%s\nset -euo pipefail\n%s\n' "$BASH" "$2" > "$work/fakes/$1"; chmod +x "$work/fakes/$1"; }
mkdir "$work/fakes"
# Each call is recorded as "STEP VARIANT"; the variant is the build folder's suffix.
fake cmake '
if [[ $1 == --build ]]; then
    dir=$2 variant=${2##*-}
    echo "build $variant" >> "$FAKE_CALLS"
    [[ $FAKE_FAIL != "build $variant" ]] || { echo "error: compiling failed"; exit 2; }
    # A unit test binary, with the text of the framework assertions where they are on.
    mkdir -p "$dir/tests"
    [[ $variant == debug && $FAKE_FAIL != "no assertions" ]] && text="JUCE Assertion failure in " || text=
    echo "$text" > "$dir/tests/brimwell_tests"
    # The fuzz targets it is asked for come out as fake libFuzzer binaries.
    for target in "$@"; do
        [[ $target == brimwell_fuzz_* && $FAKE_FAIL != "no binary $target" ]] || continue
        mkdir -p "$dir/tests/fuzz"
        cp "$FAKE_FUZZER" "$dir/tests/fuzz/$target"
    done
else
    while [[ $1 != -B ]]; do shift; done
    variant=${2##*-}
    echo "configure $variant" >> "$FAKE_CALLS"
    [[ $FAKE_FAIL != "configure $variant" ]] || { echo "CMake Error: configuring failed"; exit 1; }
fi'
# Like ctest: no tests found is a success unless --no-tests=error says otherwise.
fake ctest '
args=("$@")
while [[ $1 != --test-dir ]]; do shift; done
variant=${2##*-}
echo "test $variant" >> "$FAKE_CALLS"
case $FAKE_FAIL in
    "no tests $variant")
        echo "No tests were found!!!"
        for arg in "${args[@]}"; do [[ $arg != --no-tests=error ]] || exit 8; done ;;
    "test $variant") echo "50% tests passed, 1 tests failed out of 2"; exit 8 ;;
    *) echo "100% tests passed, 0 tests failed out of 2" ;;
esac'
fake fuzzer '
target=${0##*brimwell_fuzz_}
seconds=${1#-max_total_time=}
echo "fuzz $target $seconds" >> "$FAKE_CALLS"
[[ $FAKE_FAIL != "fuzz $target" ]] || { echo "==1==ERROR: AddressSanitizer: heap-buffer-overflow"; exit 1; }
echo "Done 7 runs in $seconds second(s)"'
mv "$work/fakes/fuzzer" "$work/fuzzer"

built="build asan,build debug,build tsan,configure asan,configure debug,configure tsan"
tested="test asan,test debug,test tsan"
fuzzed="fuzz model 3,fuzz preset 3,fuzz state 3"
# script and its argument | the failing call | exit code | what the output must match (a Perl
# regular expression over all its lines) | calls made (in any order)
cases=(
    "check-builds.sh 3||0|^tsan test: 100% tests passed|$built,$fuzzed,$tested"
    "check-builds.sh 3|configure debug|1|^debug build: FAILED.*CMake Error: configuring failed|build asan,build tsan,configure asan,configure debug,configure tsan,$fuzzed,test asan,test tsan"
    "check-builds.sh 3|build asan|1|^asan build: FAILED.*error: compiling failed|$built,test debug,test tsan"
    "check-builds.sh 3|no tests tsan|1|^tsan test: FAILED.*No tests were found|$built,$fuzzed,$tested"
    "check-builds.sh 3|test debug|1|^debug test: FAILED.*1 tests failed|$built,$fuzzed,$tested"
    "check-builds.sh 3|no assertions|1|^debug build: FAILED.*no framework assertions|$built,$fuzzed,test asan,test tsan"
    "check-builds.sh 3|test asan|1|^asan test: FAILED|$built,$tested"
    "check-builds.sh 3|fuzz state|1|^asan fuzz: FAILED.*AddressSanitizer|$built,$fuzzed,$tested"
    "check-builds.sh 3|no binary brimwell_fuzz_preset|1|^asan fuzz: FAILED.*^preset: no .*brimwell_fuzz_preset|$built,fuzz model 3,fuzz state 3,$tested"
    "check-builds.sh 0||0|^asan build: [0-9]+ s|$built,$tested"
    "fuzz.sh 3|no binary brimwell_fuzz_model|1|^model: no .*brimwell_fuzz_model|fuzz preset 3,fuzz state 3"
)
for case in "${cases[@]}"; do
    IFS='|' read -r command failing code pattern calls <<< "$case"
    read -r script argument <<< "$command"
    base="$work/build"; rm -rf "$base"*
    : > "$work/calls"
    what="$script $argument with '${failing:-nothing}' failing"
    export FAKE_FAIL="$failing" FAKE_CALLS="$work/calls" FAKE_FUZZER="$work/fuzzer"
    if [[ $script == fuzz.sh ]]; then
        # The fuzz binaries as the sanitizer build leaves them.
        PATH="$work/fakes:$PATH" cmake --build "$base-asan" brimwell_fuzz_model brimwell_fuzz_state brimwell_fuzz_preset > /dev/null
        : > "$work/calls"
    fi
    status=0
    output=$(PATH="$work/fakes:$PATH" BRIMWELL_BUILD_DIR="$base" "$BASH" "$scripts/$script" "$argument" 2>&1) || status=$?
    made=$(sort "$work/calls" | paste -sd, -)
    [[ $status -eq $code ]] || { echo "FAIL: $what: exit $status, not $code"; echo "$output"; exit 1; }
    grep -qzP -e "(?ms)$pattern" <<< "$output" || { echo "FAIL: $what: output does not match $pattern"; echo "$output"; exit 1; }
    [[ "$made" == "$calls" ]] || { echo "FAIL: $what: calls made: '$made', not '$calls'"; exit 1; }
done
echo "check-builds, fuzz: every failing configure, build, test run, empty test run, fuzz run and missing fuzz binary fails the run; a failed build runs none of its tests; a debug build without assertions fails"
