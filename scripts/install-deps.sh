#!/usr/bin/env bash
# Installs the Debian packages listed in the given files when any is missing.
# Needs root (or sudo) only when something has to be installed.
set -euo pipefail
missing=()
for list in "$@"; do
    while read -r pkg _; do
        [[ -z "$pkg" || "$pkg" == \#* ]] && continue
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done < "$list"
done
if ((${#missing[@]})); then
    echo "Устанавливаются пакеты: ${missing[*]}"
    SUDO=""
    if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
