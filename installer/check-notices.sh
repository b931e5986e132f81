#!/usr/bin/env bash
# Checks that each package (a ZIP or an MSI) carries LICENSE.txt as
# installer/LICENSE.txt holds it, with Windows line ends, and that this holds
# in full every notice the programs owe to what they link: each licence text
# as the Debian package it comes from gives it, where this machine has it.
#
#   installer/check-notices.sh PACKAGE.zip|PACKAGE.msi...
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 package.zip|package.msi..." >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
license=$(<"$here/LICENSE.txt")
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# A licence paragraph of a Debian copyright file, as plain text: the
# paragraph's lines without their one-space indent, " ." as an empty line.
debian_license() {
    awk -v name="$2" '
        $0 == "License: " name { on = 1; next }
        on && /^[ \t]/ { sub(/^ /, ""); if ($0 == ".") $0 = ""; sub(/[ \t]+$/, ""); print; n++; next }
        on && n { exit }
        { on = 0 }
    ' "$1"
}
# The text between two lines of a file (the first included, the last not).
between() {
    awk -v from="$2" -v to="$3" 'index($0, from) == 1 { on = 1 } index($0, to) == 1 { on = 0 }
        on { sub(/[ \t]+$/, ""); print }' "$1"
}
# Whether the licence holds TEXT (its lines trimmed as the licence's are).
holds() {
    local text=$1 what=$2
    if [ -z "$text" ]; then
        echo "note: $what not on this machine, not compared" >&2
        return
    fi
    [[ "$license" == *"$text"* ]] || fail "LICENSE.txt lacks $what"
}

doc=/usr/share/doc
holds "$(debian_license $doc/libcli11-dev/copyright BSD-3-clause 2>/dev/null)" "CLI11's licence"
holds "$(debian_license $doc/nlohmann-json3-dev/copyright Expat 2>/dev/null)" "nlohmann-json's licence"
for name in ZPL-2.1 expat BSD-3-clause-Lockless public-domain BSD-3-clause BSD-2-clause-NetBSD ISC; do
    holds "$(debian_license $doc/mingw-w64-x86-64-dev/copyright "$name" 2>/dev/null)" \
        "MinGW-w64's $name licence"
done
holds "$(between $doc/gcc-mingw-w64-base/copyright 'GCC RUNTIME LIBRARY EXCEPTION' \
    'libquadmath/' 2>/dev/null | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}')" \
    "the GCC Runtime Library Exception"
holds "$(sed 's/[ \t]*$//' /usr/share/common-licenses/GPL-3 2>/dev/null)" "the GPL version 3"
for name in CLI11 nlohmann winpthreads libstdc++ 'GCC RUNTIME LIBRARY EXCEPTION'; do
    [[ "$license" == *"$name"* ]] || fail "LICENSE.txt does not name $name"
done

expected=$(mktemp)
work=$(mktemp -d)
trap 'rm -rf "$expected" "$work"' EXIT
sed 's/$/\r/' "$here/LICENSE.txt" >"$expected"
for package in "$@"; do
    rm -rf "${work:?}"/*
    [ -f "$package" ] || { echo "error: no $package" >&2; exit 2; }
    path=$(cd "$(dirname "$package")" && pwd)/$(basename "$package")
    case $package in
    *.zip) unzip -qq -o "$path" -d "$work" ;;
    *.msi) (cd "$work" && msiextract "$path" >/dev/null) ;;
    *) echo "error: $package is neither a ZIP nor an MSI" >&2; exit 2 ;;
    esac
    mapfile -t found < <(find "$work" -name LICENSE.txt)
    if [ ${#found[@]} -ne 1 ]; then
        fail "$(basename "$package") holds ${#found[@]} LICENSE.txt"
    elif ! cmp -s "$expected" "${found[0]}"; then
        fail "$(basename "$package")'s LICENSE.txt is not installer/LICENSE.txt"
    fi
done
if [ $failures -gt 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "The notices are complete, and every package carries them" >&2
