#!/usr/bin/env bash
# Fails, naming the files, when a tracked C++ file differs from what .clang-format makes of it.
# Fix with: clang-format -i FILE...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

mapfile -t files < <(git ls-files '*.cpp' '*.h')
bad=()
for f in "${files[@]}"; do
    clang-format --dry-run --Werror "$f" > /dev/null 2>&1 || bad+=("$f")
done
if [[ ${#bad[@]} -gt 0 ]]; then
    echo "Not formatted (run clang-format -i on them): ${bad[*]}" >&2
    exit 1
fi
