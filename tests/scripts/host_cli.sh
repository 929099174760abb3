#!/usr/bin/env bash
# The headless host's command line as the demo uses it: a generated signal rendered
# through both built formats, and a state saved and restored. Then every kind of command
# line it must refuse, through both formats: each exits non-zero with its message.
set -euo pipefail
host=${BRIMWELL_HOST:?}; lv2=${BRIMWELL_LV2:?}; vst3=${BRIMWELL_VST3:?}
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
export HOME="$work/home"; mkdir -p "$HOME"

"$host" --make-demo "$work/in.wav" --rate 44100
for plugin in "$lv2" "$vst3"; do
    name=$(basename "$plugin")
    "$host" "$plugin" --rate 44100 --block=256 --set boostKnob=2 --set ultraXButton=0 --in "$work/in.wav" --out "$work/$name.wav" \
        --save-state "$work/$name.state"
    [[ $(stat -c %s "$work/$name.wav") -gt $(( 44100 * 6 * 2 * 4 )) ]] || { echo "FAIL: $name rendered too little"; exit 1; }
    listed=$("$host" "$plugin" --load-state "$work/$name.state" --list)
    grep -qP "\tBoost\t2\t" <<< "$listed" || { echo "FAIL: $name state did not restore Boost 2"; echo "$listed"; exit 1; }
    grep -qP "\tUltra Mode\tOff\t" <<< "$listed" || { echo "FAIL: $name state did not restore Ultra Mode off"; echo "$listed"; exit 1; }
done

# exit code | what stderr must match (extended regex) | arguments, PLUGIN and IN standing for
# the bundle and the demo file. Exit 2 is a command line the host doesn't take: it also prints the usage.
refused=(
    "2|unknown option --rat$|PLUGIN --rat 48000"
    "2|unknown option -r$|PLUGIN -r 48000"
    "2|--rate needs a value|PLUGIN --rate"
    "2|--out needs a value|PLUGIN --in IN --out --list"
    "2|--rate takes a rate in hertz, not \"fast\"|PLUGIN --rate fast"
    "2|--rate takes a rate in hertz, not \"48k\"|PLUGIN --rate=48k"
    "2|--block takes a whole number of samples, not \"12.5\"|PLUGIN --block 12.5"
    "2|--channels takes 1 or 2, not \"3\"|PLUGIN --channels 3 --in IN --out OUT"
    "2|--set takes ID=VALUE, not \"driveKnob\"|PLUGIN --set driveKnob"
    "2|--set driveKnob takes a number, not \"loud\"|PLUGIN --set driveKnob=loud"
    "2|--set poweRButton takes 0/1, on/off or true/false, not \"maybe\"|PLUGIN --set poweRButton=maybe"
    "2|--list takes no value|PLUGIN --list=all"
    "2|--rate is given twice|PLUGIN --rate 44100 --rate 48000"
    "2|--in and --out go together|PLUGIN --in IN"
    "2|unexpected argument .*in.wav$|PLUGIN IN"
    "2|no plug-in given|--list"
    "2|--make-demo takes only --rate, not --block$|--make-demo OUT --rate 44100 --block 64"
    "2|--make-demo takes no plug-in|PLUGIN --make-demo OUT"
    "1|no parameter noSuchKnob; it has .*boostKnob.*poweRButton|PLUGIN --set noSuchKnob=1"
)
for plugin in "$lv2" "$vst3"; do
    for case in "${refused[@]}"; do
        IFS='|' read -r code message line <<< "$case"
        args=()
        for word in $line; do
            case $word in
                PLUGIN) args+=("$plugin") ;;
                IN) args+=("$work/in.wav") ;;
                OUT) args+=("$work/refused.wav") ;;
                *) args+=("$word") ;;
            esac
        done
        shown=${line//PLUGIN/$(basename "$plugin")}
        status=0
        "$host" "${args[@]}" > "$work/stdout" 2> "$work/stderr" || status=$?
        [[ $status -eq $code ]] || { echo "FAIL: $shown exited $status, not $code"; cat "$work/stderr"; exit 1; }
        grep -qE -e "$message" "$work/stderr" || { echo "FAIL: $shown did not say: $message"; cat "$work/stderr"; exit 1; }
        if [[ $code -eq 2 ]] && ! grep -q "^usage: brimwell_host PLUGIN" "$work/stderr"; then
            echo "FAIL: $shown printed no usage"; cat "$work/stderr"; exit 1
        fi
        [[ ! -e "$work/refused.wav" ]] || { echo "FAIL: $shown rendered anyway"; exit 1; }
    done
done
echo "host CLI: rendered and restored through LV2 and VST3; refused ${#refused[@]} bad command lines in each"
