#!/usr/bin/env bash
# The headless host runs exactly the bundle it is given, not another copy with the same ID
# installed where hosts search: of each built bundle, one copy goes into a temporary HOME's
# ~/.lv2 or ~/.vst3 and one elsewhere. The LV2 copies carry different names in their Turtle, so
# the name the host shows tells which copy's description it read; then one copy's binary is
# broken at a time, so whether the host renders tells which binary it ran.
set -euo pipefail
host=${BRIMWELL_HOST:?}; lv2=${BRIMWELL_LV2:?}; vst3=${BRIMWELL_VST3:?}
work=$(realpath "$(mktemp -d)"); trap 'rm -rf "$work"' EXIT
export HOME="$work/home"; mkdir -p "$HOME/.lv2" "$HOME/.vst3" "$work/elsewhere"
"$host" --make-demo "$work/in.wav" --rate 48000

fail() { echo "FAIL: $*"; exit 1; }

# Runs the host on a bundle: it must render, name the binary inside that bundle, and pass on
# no warning of lilv's (a duplicate or reloaded plug-in).
runs() {
    local bundle=$1 name=$2 binary=$3 status=0
    "$host" "$bundle" --list --in "$work/in.wav" --out "$work/out.wav" > "$work/stdout" 2> "$work/stderr" || status=$?
    [[ $status -eq 0 ]] || { cat "$work/stderr"; fail "$bundle exited $status"; }
    [[ $(head -n 1 "$work/stdout") == "$name $bundle/$binary" ]] ||
        fail "$bundle listed \"$(head -n 1 "$work/stdout")\", not \"$name $bundle/$binary\""
    ! grep -qiE "lilv|duplicate|reloading" "$work/stderr" || { cat "$work/stderr"; fail "$bundle printed warnings"; }
}

# A bundle whose binary is broken must be refused, whatever copy is installed.
refused() {
    local bundle=$1 status=0
    "$host" "$bundle" --in "$work/in.wav" --out "$work/refused.wav" > /dev/null 2>&1 || status=$?
    [[ $status -ne 0 && ! -e "$work/refused.wav" ]] || fail "$bundle rendered with a broken binary"
}

# bundle in the build | installed and elsewhere (same folder name) | binary inside | format
for format in "$lv2|Brimwell.lv2|libBrimwell.so|LV2" "$vst3|Brimwell.vst3|Contents/x86_64-linux/Brimwell.so|VST3"; do
    IFS='|' read -r built folder binary kind <<< "$format"
    installed="$HOME/.${kind,,}/$folder"; elsewhere="$work/elsewhere/$folder"
    cp -r "$built" "$installed"; cp -r "$built" "$elsewhere"
    name="Brimwell ($kind)"; installedName=$name; elsewhereName=$name
    if [[ $kind == LV2 ]]; then
        sed -i 's/doap:name "Brimwell"/doap:name "Brimwell Installed"/' "$installed/dsp.ttl"
        sed -i 's/doap:name "Brimwell"/doap:name "Brimwell Elsewhere"/' "$elsewhere/dsp.ttl"
        grep -q '"Brimwell Elsewhere"' "$elsewhere/dsp.ttl" || fail "the LV2 copy was not renamed"
        installedName="Brimwell Installed (LV2)"; elsewhereName="Brimwell Elsewhere (LV2)"
    fi

    runs "$elsewhere" "$elsewhereName" "$binary"
    runs "$installed" "$installedName" "$binary"

    cp "$installed/$binary" "$work/binary"
    echo "not a shared object" > "$installed/$binary"
    runs "$elsewhere" "$elsewhereName" "$binary"
    refused "$installed"
    cp "$work/binary" "$installed/$binary"
    echo "not a shared object" > "$elsewhere/$binary"
    refused "$elsewhere"
    runs "$installed" "$installedName" "$binary"
done
echo "host bundle choice: LV2 and VST3 each ran the copy given, installed or not, and nothing else"
