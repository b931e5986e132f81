#!/usr/bin/env bash
# Packs the x64 and the x86 Trapline.dll into one per-user MSI with wixl.
#
#   installer/build-msi.sh VERSION X64_DLL X86_DLL OUTPUT.msi
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: $0 version x64.dll x86.dll output.msi" >&2; exit 2; }
version=$1 x64=$2 x86=$3 output=$4
wxs=$(cd "$(dirname "$0")" && pwd)/trapline.wxs
for dll in "$x64" "$x86"; do
    [ -f "$dll" ] || { echo "error: no $dll to pack" >&2; exit 1; }
done
# wixl finds the files it packs from the folder it runs in: the DLLs are
# staged as they will lie once installed.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/x64" "$stage/x86" "$(dirname "$output")"
cp "$x64" "$stage/x64/Trapline.dll"
cp "$x86" "$stage/x86/Trapline.dll"
# The tips file as the add-in writes it from its resource.
tips=$(cd "$(dirname "$0")/.." && pwd)/tips/resources/RUSTIPS
cp "$tips" "$stage/x64/TIPOFDAY.TXT"
cp "$tips" "$stage/x86/TIPOFDAY.TXT"
output=$(cd "$(dirname "$output")" && pwd)/$(basename "$output")
(cd "$stage" && wixl -a x64 -D Version="$version" -o "$output.part" "$wxs")
mv -f "$output.part" "$output"
