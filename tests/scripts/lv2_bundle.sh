#!/usr/bin/env bash
# The LV2 bundle as Debian's lv2info reads it: the plug-in's name and version, one stereo
# input and one stereo output, and the 11 parameters (patch parameters, declared in dsp.ttl).
set -euo pipefail
bundle=${BRIMWELL_LV2:?path of Brimwell.lv2}
bundle=$(cd "$bundle" && pwd) # lilv takes absolute paths only
uri="https://calvorra.example/plugins/brimwell"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

info=$(LV2_PATH="$(dirname "$bundle")" lv2info "$uri")
fail() { echo "FAIL: $*"; echo "$info"; exit 1; }

grep -q "Name: *Brimwell$" <<< "$info" || fail "name is not Brimwell"

# The version of VERSION. lv2info's summary has no version line; its Turtle description of the
# plug-in (-p) holds what lilv read: the release's revision, and the minor and micro versions
# (the last two parts) by which hosts pick the newest of several installed bundles.
version=$(head -n 1 "$(dirname "$0")/../../VERSION")
LV2_PATH="$(dirname "$bundle")" lv2info -p "$work/plugin.ttl" "$uri" > /dev/null
described=$(cat "$work/plugin.ttl")
grep -q "doap:revision \"$version\"" <<< "$described" || fail "no release $version in: $described"
read -r minor micro < <(awk -F. '{ print $(NF - 1), $NF }' <<< "$version")
grep -qE "lv2:minorVersion $minor( |;|$)" <<< "$described" || fail "minor version is not $minor: $described"
grep -qE "lv2:microVersion $micro( |;|$)" <<< "$described" || fail "micro version is not $micro: $described"

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
echo "lv2info: Brimwell $version, 2 audio in, 2 audio out, 11 parameters"
