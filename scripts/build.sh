#!/usr/bin/env bash
# Configures and builds everything in Release into build/ (or $BRIMWELL_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BRIMWELL_BUILD_DIR:-$root/build}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" -j"$(nproc)"
