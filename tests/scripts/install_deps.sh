#!/usr/bin/env bash
# scripts/install-deps.sh on machines where it can't install: without dpkg-query, or as a user
# without sudo, it prints one line (what is missing, what to run) and fails without calling an
# installer; a user with sudo gets the missing packages through sudo, non-interactively; with
# nothing missing it does nothing. id, dpkg-query, apt-get and sudo are fakes on a PATH that
# holds nothing else, so the real ones are never reached.
set -euo pipefail
script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-deps.sh"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

fake() { printf '#!%s\n%s\n' "$BASH" "$2" > "$work/fakes/$1"; chmod +x "$work/fakes/$1"; }
mkdir "$work/fakes"
fake id 'echo "$FAKE_UID"'
fake dpkg-query 'for p in $FAKE_MISSING; do [[ "${!#}" == "$p" ]] && exit 1; done; printf "install ok installed"'
fake apt-get 'echo "apt-get $* (DEBIAN_FRONTEND=${DEBIAN_FRONTEND:-})" >> "$FAKE_CALLS"'
# Like sudo's env_reset: the caller's environment does not reach the command.
fake sudo 'echo "sudo:" >> "$FAKE_CALLS"; exec env -i PATH="$PATH" FAKE_CALLS="$FAKE_CALLS" "$@"'

# uid | fakes on the PATH | missing packages | exit code | what the output must match | calls made
cases=(
    "1000|id sudo apt-get|g++|1|^scripts/install-deps.sh: dpkg-query is missing: this script needs Debian 12|"
    "1000|id dpkg-query apt-get|g++ jackd2|1|no sudo .*; as root run: apt-get update && apt-get install -y --no-install-recommends g\+\+ jackd2$|"
    "1000|id dpkg-query apt-get sudo|g++ jackd2|0|^Installing: g\+\+ jackd2$|sudo: apt-get update -qq (DEBIAN_FRONTEND=noninteractive) sudo: apt-get install -y -qq --no-install-recommends g++ jackd2 (DEBIAN_FRONTEND=noninteractive)"
    "1000|id dpkg-query apt-get||0|^$|"
)
for case in "${cases[@]}"; do
    IFS='|' read -r uid fakes missing code pattern calls <<< "$case"
    bin="$work/bin"; rm -rf "$bin"; mkdir "$bin"
    for tool in bash dirname env; do ln -s "$(command -v "$tool")" "$bin/"; done
    for tool in $fakes; do ln -s "$work/fakes/$tool" "$bin/"; done
    : > "$work/calls"
    what="uid $uid with $fakes, missing '$missing'"
    status=0
    output=$(PATH="$bin" FAKE_UID=$uid FAKE_MISSING="$missing" FAKE_CALLS="$work/calls" "$script" 2>&1) || status=$?
    made=$(tr '\n' ' ' < "$work/calls" | sed 's/ $//')
    [[ $status -eq $code ]] || { echo "FAIL: $what: exit $status, not $code"; echo "$output"; exit 1; }
    [[ $(wc -l <<< "$output") -eq 1 ]] || { echo "FAIL: $what: not one line of output"; echo "$output"; exit 1; }
    grep -qE -e "$pattern" <<< "$output" || { echo "FAIL: $what: output does not match $pattern"; echo "$output"; exit 1; }
    [[ "$made" == "$calls" ]] || { echo "FAIL: $what: calls made: '$made', not '$calls'"; exit 1; }
done
echo "install-deps: clear one-line failures without dpkg-query and without sudo; installs through sudo; quiet when complete"
