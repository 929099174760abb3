#!/usr/bin/env bash
# The build's model-file check: a file that would not load fails with its name and the
# loader's message; the shipped files pass.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
check="${BRIMWELL_MODELCHECK:?path of the built brimwell_modelcheck}"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

"$check" "$root"/resources/models/model_*.json || { echo "FAIL: a shipped model file does not load"; exit 1; }

head -c 5000 "$root/resources/models/model_00.json" > "$work/truncated.json"
sed 's/"rec.bias_hh_l0"/"rec.bias_hh"/' "$root/resources/models/model_00.json" > "$work/renamed.json"
sed 's/"input_size":1/"input_size":2/' "$root/resources/models/model_00.json" > "$work/two_inputs.json"
for bad in truncated renamed two_inputs; do
    if message=$("$check" "$work/$bad.json" 2>&1); then
        echo "FAIL: $bad.json passed the check"; exit 1
    fi
    grep -q "$bad.json" <<< "$message" || { echo "FAIL: no file name in: $message"; exit 1; }
    echo "$message"
done
