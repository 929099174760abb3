#!/usr/bin/env bash
# The LV2 bundle as Debian's lv2info reads it: the plug-in's name and version, the author's
# links, one stereo input and one stereo output, the 11 parameters (patch parameters, declared
# in dsp.ttl), and the one preset, named.
set -euo pipefail
bundle=${BRIMWELL_LV2:?path of Brimwell.lv2}
bundle=$(cd "$bundle" && pwd) # lilv takes absolute paths only
uri="https://calvorra.example/plugins/brimwell"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

info=$(LV2_PATH="$(dirname "$bundle")" lv2info "$uri")
fail() { echo "FAIL: $*"; echo "$info"; exit 1; }

grep -q "Name: *Brimwell$" <<< "$info" || fail "name is not Brimwell"

# The author's e-mail and homepage lead outside the bundle: an empty link would resolve to the
# Turtle file that holds it.
email=$(sed -n 's/^\tAuthor Email: *//p' <<< "$info")
homepage=$(sed -n 's/^\tAuthor Homepage: *//p' <<< "$info")
[[ $email == mailto:?*@calvorra.example ]] || fail "author e-mail is not a mailto: address: '$email'"
[[ $homepage == https://calvorra.example/* ]] || fail "author homepage is not an https:// page: '$homepage'"

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
# Every preset the manifest declares has a label that is not empty; hosts list them by it.
manifest="$bundle/manifest.ttl"
presets=$(grep -c "a pset:Preset" "$manifest" || true)
labels=$(grep -cE 'rdfs:label "[^"]+"' "$manifest" || true)
[[ $presets -eq 1 ]] || fail "expected 1 preset in $manifest, found $presets"
[[ $labels -eq $presets ]] || fail "a preset without a name in $manifest: $(cat "$manifest")"
echo "lv2info: Brimwell $version by $email ($homepage), 2 audio in, 2 audio out, 11 parameters, 1 named preset"
