#!/usr/bin/env bash
# The headless host's command line as the demo uses it: a generated signal rendered
# through both built formats, and a state saved and restored.
set -euo pipefail
host=${BRIMWELL_HOST:?}; lv2=${BRIMWELL_LV2:?}; vst3=${BRIMWELL_VST3:?}
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
export HOME="$work/home"; mkdir -p "$HOME"

"$host" --make-demo "$work/in.wav" --rate 44100
for plugin in "$lv2" "$vst3"; do
    name=$(basename "$plugin")
    "$host" "$plugin" --rate 44100 --block 256 --set boostKnob=2 --set ultraXButton=0 --in "$work/in.wav" --out "$work/$name.wav" \
        --save-state "$work/$name.state"
    [[ $(stat -c %s "$work/$name.wav") -gt $(( 44100 * 6 * 2 * 4 )) ]] || { echo "FAIL: $name rendered too little"; exit 1; }
    listed=$("$host" "$plugin" --load-state "$work/$name.state" --list)
    grep -qP "\tBoost\t2\t" <<< "$listed" || { echo "FAIL: $name state did not restore Boost 2"; echo "$listed"; exit 1; }
    grep -qP "\tUltra Mode\tOff\t" <<< "$listed" || { echo "FAIL: $name state did not restore Ultra Mode off"; echo "$listed"; exit 1; }
done
if "$host" "$lv2" --set noSuchKnob=1 2> /dev/null; then echo "FAIL: unknown parameter accepted"; exit 1; fi
if "$host" "$lv2" --set poweRButton=maybe 2> /dev/null; then echo "FAIL: bad switch value accepted"; exit 1; fi
echo "host CLI: rendered and restored through LV2 and VST3"
