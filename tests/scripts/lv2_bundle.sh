#!/usr/bin/env bash
# The LV2 bundle as Debian's lv2info reads it: the plug-in's name, one stereo input and
# one stereo output, and the 11 parameters (patch parameters, declared in dsp.ttl).
set -euo pipefail
bundle=${BRIMWELL_LV2:?path of Brimwell.lv2}
uri="https://calvorra.example/plugins/brimwell"

info=$(LV2_PATH="$(dirname "$bundle")" lv2info "$uri")
fail() { echo "FAIL: $*"; echo "$info"; exit 1; }

grep -q "Name: *Brimwell$" <<< "$info" || fail "name is not Brimwell"

# Each port block: its type lines; count audio inputs and outputs.
ports=$(awk '/^\tPort [0-9]+:/{if (t) print t; t=""} /AudioPort|InputPort|OutputPort|ControlPort|AtomPort/{t=t" "$NF} END{if (t) print t}' <<< "$info")
audio_in=$(grep -c "lv2core#AudioPort.*lv2core#InputPort\|lv2core#InputPort.*lv2core#AudioPort" <<< "$ports" || true)
audio_out=$(grep -c "lv2core#AudioPort.*lv2core#OutputPort\|lv2core#OutputPort.*lv2core#AudioPort" <<< "$ports" || true)
[[ $audio_in -eq 2 ]] || fail "expected 2 audio inputs, found $audio_in"
[[ $audio_out -eq 2 ]] || fail "expected 2 audio outputs, found $audio_out"

ttl="$bundle/dsp.ttl"
[[ $(grep -c "a lv2:Parameter" "$ttl") -eq 11 ]] || fail "expected 11 parameters in $ttl"
for label in "Output Knob" "Drive" "Input Adj" "Output Adj" "Dry Mix" "Low Pass" "High Pass" "Boost" \
             "AutoGain" "Ultra Mode" "Power"; do
    grep -q "rdfs:label \"$label\"" "$ttl" || fail "no parameter \"$label\""
done
echo "lv2info: Brimwell, 2 audio in, 2 audio out, 11 parameters"
