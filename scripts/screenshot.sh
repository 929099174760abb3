#!/usr/bin/env bash
# Renders the editor, offscreen, to build/screenshots/editor-896x525.png (the size it opens at)
# and editor-2560x1500.png (full size, meters showing a level, the input-trim value bubble up).
# Needs no display. Uses build/ (or $BRIMWELL_BUILD_DIR), configuring it when it is new.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BRIMWELL_BUILD_DIR:-$root/build}

[[ -f "$build/CMakeCache.txt" ]] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" --target brimwell_screenshot -j"$(nproc)"

# The processor makes its preset folder under HOME; keep that out of the user's documents.
home=$(mktemp -d); trap 'rm -rf "$home"' EXIT
HOME="$home" "$build/brimwell_screenshot" "$build/screenshots"
ls -l "$build"/screenshots/editor-*.png
