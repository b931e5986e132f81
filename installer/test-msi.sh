#!/usr/bin/env bash
# Installs the MSI for the current user under wine and checks that it puts
# both DLLs in place and writes exactly what registering each DLL per user
# writes ("regsvr32 /n /i:user"), then that uninstalling leaves no file,
# folder or value behind. The wine prefix must be free of the add-in.
#
#   installer/test-msi.sh PACKAGE.msi X64_DLL X86_DLL   (the DLLs packed into it)
#
# WINEPREFIX and the rest of wine's environment come from the caller.
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 package.msi x64.dll x86.dll" >&2; exit 2; }
msi=$1 x64=$2 x86=$3
for file in "$msi" "$x64" "$x86"; do
    [ -f "$file" ] || { echo "error: no $file" >&2; exit 1; }
done
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=wine64
wine32=wine

keys=(
    'HKCU\Software\Classes\CLSID\{D26D66EF-D11E-4A0D-ACB0-F26079A76A88}'
    'HKCU\Software\Classes\Trapline.Connect'
    'HKCU\Software\Classes\TypeLib\{7F48F856-1D21-4466-9C78-AC3BDC19B4C8}'
    'HKCU\Software\Classes\Interface\{FA68FD18-E0A0-406B-B828-18AD27AC26D0}'
    'HKCU\Software\Microsoft\Visual Basic\6.0\Addins\Trapline.Connect'
    'HKCU\Software\Microsoft\VBA\VBE\6.0\Addins\Trapline.Connect'
    'HKCU\Software\Microsoft\VBA\VBE\6.0\Addins64\Trapline.Connect'
)
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# One key's values. Under load wine now and then fails to start a program
# with an internal error ("ShellExecuteEx failed"); such a start is tried
# again, so that the comparison is of the registry and not of the flake.
query() {
    local out try
    for try in 1 2 3; do
        out=$("$wine64" reg query "$1" /s /reg:$2 </dev/null 2>/dev/null | tr -d '\r' || true)
        case "$out" in
        *"ShellExecuteEx failed"* | *"could not be started"*) sleep 1 ;;
        *) break ;;
        esac
    done
    printf '%s\n' "$out" | sed '/^$/d; /^reg: /d'
}

# Every key of the add-in as 64-bit and as 32-bit programs see it.
snapshot() {
    local view key
    for view in 64 32; do
        for key in "${keys[@]}"; do
            echo "[$view] $key"
            query "$key" $view
        done
    done
}

present_keys() {
    local view key n=0
    for view in 64 32; do
        for key in "${keys[@]}"; do
            if "$wine64" reg query "$key" /reg:$view </dev/null >/dev/null 2>&1; then
                echo "  left: [$view] $key" >&2
                n=$((n + 1))
            fi
        done
    done
    return $((n > 0))
}

local_app_data=$("$wine64" cmd /c echo %LOCALAPPDATA% </dev/null | tr -d '\r')
install_dir=$("$wine64" winepath -u "$local_app_data\\Programs\\TRAPLINE" </dev/null 2>/dev/null)
install_dir=${install_dir%/}
win_dir="$local_app_data\\Programs\\TRAPLINE"

# A prefix holding the add-in already would let leftovers pass for results.
if ! present_keys || [ -e "$install_dir" ]; then
    echo "error: the wine prefix holds the add-in already (msiexec /x, or regsvr32 /u /n /i:user)" >&2
    exit 1
fi

echo "== msiexec /i" >&2
"$wine64" msiexec /i "$("$wine64" winepath -w "$msi" 2>/dev/null)" /qn </dev/null ||
    fail "msiexec /i ended with $?"
cmp -s "$x64" "$install_dir/x64/Trapline.dll" || fail "x64/Trapline.dll not installed as packed"
cmp -s "$x86" "$install_dir/x86/Trapline.dll" || fail "x86/Trapline.dll not installed as packed"
installed=$(snapshot)
for key in "${keys[@]}"; do
    "$wine64" reg query "$key" </dev/null >/dev/null 2>&1 || fail "msiexec /i wrote no $key"
done

# A value of someone else's in a key of ours: uninstalling takes only its own.
foreign='HKCU\Software\Classes\Trapline.Connect'
"$wine64" reg add "$foreign" /v Foreign /d kept /f </dev/null >/dev/null 2>&1

echo "== msiexec /x" >&2
"$wine64" msiexec /x "$("$wine64" winepath -w "$msi" 2>/dev/null)" /qn </dev/null ||
    fail "msiexec /x ended with $?"
"$wine64" reg query "$foreign" /v Foreign </dev/null >/dev/null 2>&1 ||
    fail "msiexec /x took a value it had not written"
"$wine64" reg delete "$foreign" /f </dev/null >/dev/null 2>&1 || true
present_keys || fail "msiexec /x left keys of the add-in"
if [ -e "$install_dir" ]; then
    fail "msiexec /x left $install_dir: $(cd "$install_dir" && find . | tr '\n' ' ')"
fi

# The same files at the same places, registered by the DLLs themselves. The
# x86 DLL goes second, as the MSI writes it: wine 8 keeps one per-user class
# key for both bitnesses, so the second path is the one both views show.
echo "== regsvr32 /n /i:user, to compare with" >&2
mkdir -p "$install_dir/x64" "$install_dir/x86"
cp "$x64" "$install_dir/x64/Trapline.dll"
cp "$x86" "$install_dir/x86/Trapline.dll"
"$wine64" regsvr32 /s /n /i:user "$win_dir\\x64\\Trapline.dll" </dev/null || fail "regsvr32 x64 ended with $?"
"$wine32" regsvr32 /s /n /i:user "$win_dir\\x86\\Trapline.dll" </dev/null || fail "regsvr32 x86 ended with $?"
registered=$(snapshot)
"$wine32" regsvr32 /s /u /n /i:user "$win_dir\\x86\\Trapline.dll" </dev/null || true
"$wine64" regsvr32 /s /u /n /i:user "$win_dir\\x64\\Trapline.dll" </dev/null || true
rm -rf "$install_dir"
present_keys || fail "regsvr32 /u left keys of the add-in"

if [ "$installed" != "$registered" ]; then
    fail "the MSI's registration differs from the DLLs' own (< MSI, > regsvr32):"
    diff <(echo "$installed") <(echo "$registered") >&2 || true
fi
if [ $failures -gt 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "MSI installed, registered as the DLLs register themselves, and removed without a trace" >&2
