#!/usr/bin/env bash
# The whole test suite, as CI runs it. Installs what is missing, checks the formatting, builds
# Release and runs every test with ctest; then the checking builds with their tests and a minute
# of fuzzing per fuzz target (scripts/check-builds.sh: AddressSanitizer with
# UndefinedBehaviorSanitizer and the fuzzing, Debug, ThreadSanitizer).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BRIMWELL_BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh"
"$root/scripts/check-format.sh"
BRIMWELL_BUILD_DIR="$build" "$root/scripts/build.sh"
ctest --test-dir "$build" --output-on-failure --no-tests=error --timeout 600 -j"$(nproc)"
BRIMWELL_BUILD_DIR="$build" "$root/scripts/check-builds.sh" 60
