#!/usr/bin/env bash
# Installs the Debian packages of scripts/packages.txt that are missing (needs root or sudo).
# Where it can't (no dpkg-query or apt-get, or neither root nor sudo), it prints one line:
# what is missing and the command to run, and fails.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
me="scripts/install-deps.sh"

if ! command -v dpkg-query > /dev/null; then
    echo "$me: dpkg-query is missing: this script needs Debian 12; elsewhere install what scripts/packages.txt lists with the system's package manager" >&2
    exit 1
fi

missing=()
while read -r pkg; do
    [[ -z "$pkg" || "$pkg" == \#* ]] && continue
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done < "$here/packages.txt"

if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

install="apt-get install -y --no-install-recommends ${missing[*]}"
if ! command -v apt-get > /dev/null; then
    echo "$me: apt-get is missing; install these packages with the system's package manager: ${missing[*]}" >&2
    exit 1
fi
# sudo drops the environment, so the setting that keeps debconf from asking goes through env.
as_root=(env DEBIAN_FRONTEND=noninteractive)
if [[ $(id -u) -ne 0 ]]; then
    if ! command -v sudo > /dev/null; then
        echo "$me: missing packages and no sudo to install them; as root run: apt-get update && $install" >&2
        exit 1
    fi
    as_root=(sudo "${as_root[@]}")
fi

echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" > /dev/null
