#!/usr/bin/env bash
# Configures (the release preset of CMakePresets.json) and builds everything in Release into
# build/ (or $BRIMWELL_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BRIMWELL_BUILD_DIR:-$root/build}

cmake -S "$root" --preset release -B "$build" > /dev/null
cmake --build "$build" -j"$(nproc)"
