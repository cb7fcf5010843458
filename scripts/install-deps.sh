#!/usr/bin/env bash
# Installs, from Debian's packages, whatever of the build and test tools this
# machine lacks. Usage: install-deps.sh [extra package ...]
set -euo pipefail

packages=(cmake g++ make libgtest-dev "$@")
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}" >&2
sudo_if_needed=()
[ "$(id -u)" -eq 0 ] || sudo_if_needed=(sudo)
"${sudo_if_needed[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_if_needed[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
