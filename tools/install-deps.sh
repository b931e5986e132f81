#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing;
# with arguments, those packages instead. A package of another architecture
# (wine32:i386) makes dpkg learn that architecture first.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev pkg-config patch qt6-base-dev qt6-base-dev-tools libgl-dev fonts-wine libcli11-dev nlohmann-json3-dev libgsf-1-dev libzip-dev libreoffice-calc-nogui libreoffice-writer-nogui)
[ $# -eq 0 ] || packages=("$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
