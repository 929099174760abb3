#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with ctest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BRIMWELL_BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh"
"$root/scripts/check-format.sh"
BRIMWELL_BUILD_DIR="$build" "$root/scripts/build.sh"
cd "$build"
ctest --output-on-failure --timeout 600
