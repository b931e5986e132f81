#!/usr/bin/env bash
# Packs the x64 and the x86 Trapline.dll into one MSI with wixl: for the
# current user (the default) or for the machine.
#
#   installer/build-msi.sh VERSION X64_DLL X86_DLL OUTPUT.msi [user|machine]
set -euo pipefail
[ $# -eq 4 ] || [ $# -eq 5 ] ||
    { echo "usage: $0 version x64.dll x86.dll output.msi [user|machine]" >&2; exit 2; }
version=$1 x64=$2 x86=$3 output=$4 scope=${5:-user}
case $scope in
user | machine) ;;
*) echo "error: the scope is 'user' or 'machine', not '$scope'" >&2; exit 2 ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
wxs=$here/trapline.wxs
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
tips=$here/../tips/resources/RUSTIPS
cp "$tips" "$stage/x64/TIPOFDAY.TXT"
cp "$tips" "$stage/x86/TIPOFDAY.TXT"
# The licence and notices with Windows line ends, as the ZIPs carry them.
sed 's/$/\r/' "$here/LICENSE.txt" >"$stage/LICENSE.txt"
output=$(cd "$(dirname "$output")" && pwd)/$(basename "$output")
(cd "$stage" && wixl -a x64 -D Version="$version" -D Scope="$scope" -o "$output.part" "$wxs")
mv -f "$output.part" "$output"
