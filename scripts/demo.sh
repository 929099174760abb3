#!/usr/bin/env bash
# Installs what is missing, builds Release, installs the plug-in into ~/.lv2 and ~/.vst3,
# and renders a generated guitar-like signal through the installed plug-in.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BRIMWELL_BUILD_DIR:-$root/build}
artefacts="$build/Brimwell_artefacts/Release"

"$root/scripts/install-deps.sh"
BRIMWELL_BUILD_DIR="$build" "$root/scripts/build.sh"

mkdir -p "$HOME/.lv2" "$HOME/.vst3"
rm -rf "$HOME/.lv2/Brimwell.lv2" "$HOME/.vst3/Brimwell.vst3"
cp -r "$artefacts/LV2/Brimwell.lv2" "$HOME/.lv2/"
cp -r "$artefacts/VST3/Brimwell.vst3" "$HOME/.vst3/"
echo "Installed $HOME/.lv2/Brimwell.lv2 and $HOME/.vst3/Brimwell.vst3"

out="$build/demo"
mkdir -p "$out"
host="$build/brimwell_host"
"$host" --make-demo "$out/input.wav" --rate 48000
"$host" "$HOME/.lv2/Brimwell.lv2" --rate 48000 --in "$out/input.wav" --out "$out/brimwell-boost0.wav"
"$host" "$HOME/.lv2/Brimwell.lv2" --rate 48000 --set boostKnob=4 --set driveKnob=0.7 \
    --in "$out/input.wav" --out "$out/brimwell-boost4.wav"
"$host" "$HOME/.vst3/Brimwell.vst3" --rate 48000 --set ultraXButton=0 \
    --in "$out/input.wav" --out "$out/brimwell-vst3-oversampled.wav"

echo "Demo input:  $out/input.wav"
echo "Rendered:    $out/brimwell-boost0.wav (Boost 0, LV2)"
echo "             $out/brimwell-boost4.wav (Boost 4, Drive 0.7, LV2)"
echo "             $out/brimwell-vst3-oversampled.wav (Ultra Mode off: oversampled, VST3)"
