#!/usr/bin/env bash
# Installs both MSIs under wine and checks what each writes where.
#
# The user's: it puts both DLLs in place and writes exactly what registering
# each DLL per user writes ("regsvr32 /n /i:user"), then uninstalling leaves
# no file, folder or value behind. Meanwhile, unregistering other copies of
# the DLLs must leave the MSI's registration alone.
#
# The machine's: it writes exactly what registering both DLLs for the
# machine writes ("regsvr32"): the classes under HKLM, the x64 DLL's in the
# 64-bit view and the x86 DLL's in the 32-bit view, none under HKCU's
# classes, the add-in entries under HKCU; the class creates through COM in
# both bitnesses; uninstalling leaves nothing.
#
# Last, both DLLs are registered for the machine and removed one at a time,
# in each order: the one left must look as registered alone and still
# create, and nothing may be left at the end. The wine prefix must be free of
# the add-in.
#
#   installer/test-msi.sh USER.msi MACHINE.msi X64_DLL X86_DLL   (the DLLs packed into both)
#
# WINEPREFIX and the rest of wine's environment come from the caller.
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: $0 user.msi machine.msi x64.dll x86.dll" >&2; exit 2; }
msi=$1 machine_msi=$2 x64=$3 x86=$4
for file in "$msi" "$machine_msi" "$x64" "$x86"; do
    [ -f "$file" ] || { echo "error: no $file" >&2; exit 1; }
done
# The licence and notices as both packages install them: with Windows line ends.
license=$(mktemp)
trap 'rm -f "$license"' EXIT
sed 's/$/\r/' "$(dirname "$0")/LICENSE.txt" >"$license"
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
# ("ShellExecuteEx failed"), or starts one that ends without an answer: only
# the key with its values (status 0) or reg's own "Unable to find" (status 1)
# is taken as an answer, anything else is asked again, so that the comparison
# is of the registry and not of the flake. No answer at all is said as such.
# KEY VIEW [reg query's options]
ask() {
    local key=$1 view=$2 out status
    shift 2
    for _ in 1 2 3 4 5; do
        status=0
        out=$("$wine64" reg query "$key" "$@" /reg:"$view" </dev/null 2>/dev/null) || status=$?
        out=$(printf '%s' "$out" | tr -d '\r')
        case "$status:$out" in
        0:*HKEY_*) break ;;
        1:*"Unable to find"*)
            out=
            break
            ;;
        esac
        out="reg query $key $* /reg:$view gave no answer (status $status)"
        sleep 1
    done
    printf '%s\n' "$out" | sed '/^$/d; /^reg: /d'
}
# One key with its subkeys: KEY VIEW.
query() { ask "$1" "$2" /s; }

# Runs a Windows program under wine: WINE PROGRAM ARGS... Wine sometimes
# fails to start a program at all ("Application could not be started"); such
# a start is tried again, up to five times, as it says nothing of what the
# program would have done. The program's own failure is its status.
launch() {
    local err status
    for _ in 1 2 3 4 5; do
        status=0
        err=$("$@" </dev/null 2>&1 >/dev/null) || status=$?
        case "$err" in
        *"could not be started"* | *"ShellExecuteEx failed"*) sleep 1 ;;
        *) break ;;
        esac
    done
    [ -n "$err" ] && printf '%s\n' "$err" >&2
    return $status
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

# The add-in's keys when its classes are the machine's.
machine_keys=(
    'HKLM\Software\Classes\CLSID\{D26D66EF-D11E-4A0D-ACB0-F26079A76A88}'
    'HKLM\Software\Classes\Trapline.Connect'
    'HKLM\Software\Classes\TypeLib\{7F48F856-1D21-4466-9C78-AC3BDC19B4C8}'
    'HKLM\Software\Classes\Interface\{FA68FD18-E0A0-406B-B828-18AD27AC26D0}'
    'HKCU\Software\Microsoft\Visual Basic\6.0\Addins\Trapline.Connect'
    'HKCU\Software\Microsoft\VBA\VBE\6.0\Addins\Trapline.Connect'
    'HKCU\Software\Microsoft\VBA\VBE\6.0\Addins64\Trapline.Connect'
)
machine_snapshot() {
    local view key
    for view in 64 32; do
        for key in "${machine_keys[@]}"; do
            echo "[$view] $key"
            query "$key" $view
        done
    done
}
# regsvr32 for the machine of one bitness's DLL in a folder: FOLDER BITNESS [/u]
machine_regsvr32() {
    local wine=$wine64
    [ "$2" = x86 ] && wine=$wine32
    # shellcheck disable=SC2086 # no option, or /u
    launch "$wine" regsvr32 /s ${3:-} "$1\\$2\\Trapline.dll" ||
        fail "regsvr32 ${3:-} of the $2 DLL for the machine ended with $?"
}
# Whether a program of the bitness creates the class through its ProgID.
creates() {
    local wine=$wine64 script="$local_app_data\\Temp\\trapline-create.js"
    [ "$1" = x86 ] && wine=$wine32
    echo 'new ActiveXObject("Trapline.Connect"); WScript.Quit(7);' \
        >"$("$wine64" winepath -u "$script" </dev/null 2>/dev/null)"
    local code=0
    "$wine" cscript //nologo "$script" </dev/null >/dev/null 2>&1 || code=$?
    rm -f "$("$wine64" winepath -u "$script" </dev/null 2>/dev/null)"
    [ $code -eq 7 ]
}

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
cmp -s "$license" "$install_dir/LICENSE.txt" || fail "LICENSE.txt not installed as packed"
installed=$(snapshot)
for key in "${keys[@]}"; do
    "$wine64" reg query "$key" </dev/null >/dev/null 2>&1 || fail "msiexec /i wrote no $key"
done

# Another copy of each DLL, unregistered for the user and for the machine,
# takes nothing of the MSI's: what it installed names other files.
echo "== regsvr32 /u of other copies" >&2
copy_dir="$local_app_data\\Temp\\trapline-copy"
copy_unix=$("$wine64" winepath -u "$copy_dir" </dev/null 2>/dev/null)
copy_unix=${copy_unix%/}
mkdir -p "$copy_unix/x64" "$copy_unix/x86"
cp "$x64" "$copy_unix/x64/Trapline.dll"
cp "$x86" "$copy_unix/x86/Trapline.dll"
for scope in "" "/n /i:user"; do
    # shellcheck disable=SC2086 # the options are words
    launch "$wine64" regsvr32 /s /u $scope "$copy_dir\\x64\\Trapline.dll" ||
        fail "regsvr32 /u $scope of an x64 copy ended with $?"
    # shellcheck disable=SC2086
    launch "$wine32" regsvr32 /s /u $scope "$copy_dir\\x86\\Trapline.dll" ||
        fail "regsvr32 /u $scope of an x86 copy ended with $?"
done
rm -rf "$copy_unix"
after_copies=$(snapshot)
if [ "$installed" != "$after_copies" ]; then
    fail "regsvr32 /u of other copies changed the MSI's registration (< installed, > after):"
    diff <(echo "$installed") <(echo "$after_copies") >&2 || true
fi

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
launch "$wine64" regsvr32 /s /n /i:user "$win_dir\\x64\\Trapline.dll" || fail "regsvr32 x64 ended with $?"
launch "$wine32" regsvr32 /s /n /i:user "$win_dir\\x86\\Trapline.dll" || fail "regsvr32 x86 ended with $?"
registered=$(snapshot)
"$wine32" regsvr32 /s /u /n /i:user "$win_dir\\x86\\Trapline.dll" </dev/null || true
"$wine64" regsvr32 /s /u /n /i:user "$win_dir\\x64\\Trapline.dll" </dev/null || true
rm -rf "$install_dir"
present_keys || fail "regsvr32 /u left keys of the add-in"

# The machine-wide package, from an administrator: the classes under HKLM in
# each DLL's own view, nothing in the user's classes, the add-in entries
# under HKCU; both bitnesses create the class; and what it writes is what
# registering both DLLs for the machine from the same folders writes.
echo "== msiexec /i the machine-wide package" >&2
program_files=$("$wine64" cmd /c echo %ProgramFiles% </dev/null | tr -d '\r')
machine_win_dir="$program_files\\TRAPLINE"
machine_dir=$("$wine64" winepath -u "$machine_win_dir" </dev/null 2>/dev/null)
machine_dir=${machine_dir%/}
[ ! -e "$machine_dir" ] || { echo "error: $machine_dir is there already" >&2; exit 1; }
machine_empty=$(machine_snapshot)
"$wine64" msiexec /i "$("$wine64" winepath -w "$machine_msi" 2>/dev/null)" /qn </dev/null ||
    fail "msiexec /i of the machine-wide package ended with $?"
cmp -s "$x64" "$machine_dir/x64/Trapline.dll" || fail "the machine-wide x64/Trapline.dll not installed as packed"
cmp -s "$x86" "$machine_dir/x86/Trapline.dll" || fail "the machine-wide x86/Trapline.dll not installed as packed"
cmp -s "$license" "$machine_dir/LICENSE.txt" || fail "the machine-wide LICENSE.txt not installed as packed"
# One value: KEY NAME VIEW ("" for the default).
value_of() {
    local name=(/ve)
    [ -n "$2" ] && name=(/v "$2")
    ask "$1" "$3" "${name[@]}" | sed -n 's/^ *[^ ].*REG_[A-Z_]*  *//p'
}
server='HKLM\Software\Classes\CLSID\{D26D66EF-D11E-4A0D-ACB0-F26079A76A88}\InprocServer32'
[ "$(value_of "$server" "" 64)" = "$machine_win_dir\\x64\\Trapline.dll" ] ||
    fail "the 64-bit view's class names '$(value_of "$server" "" 64)', not the x64 DLL"
[ "$(value_of "$server" "" 32)" = "$machine_win_dir\\x86\\Trapline.dll" ] ||
    fail "the 32-bit view's class names '$(value_of "$server" "" 32)', not the x86 DLL"
for key in "${keys[@]:0:4}"; do
    for view in 64 32; do
        ! "$wine64" reg query "$key" /reg:$view </dev/null >/dev/null 2>&1 ||
            fail "the machine-wide package wrote [$view] $key"
    done
done
addins='HKCU\Software\Microsoft'
# Load on start-up: bit 0 in VB6; loaded and at start-up (3) in the VBA editor.
for entry in 'Visual Basic\6.0\Addins:0x1' 'VBA\VBE\6.0\Addins:0x3' 'VBA\VBE\6.0\Addins64:0x3'; do
    key="$addins\\${entry%:*}\\Trapline.Connect"
    want=${entry##*:}
    [ "$(value_of "$key" LoadBehavior 64)" = "$want" ] ||
        fail "$key LoadBehavior is '$(value_of "$key" LoadBehavior 64)', not $want"
done
creates x64 || fail "the machine-wide package's class does not create in a 64-bit program"
creates x86 || fail "the machine-wide package's class does not create in a 32-bit program"
# Wine 8 maps a ProgID's 32-bit view otherwise for a 64-bit program (msiexec,
# writing the x86 component) than for a 32-bit one (regsvr32 of the x86 DLL):
# the first writes HKLM\Software\Classes\Wow6432Node\Trapline.Connect, which
# no 32-bit program reads, the second the key both views share, as Windows
# shares ProgIDs. So the ProgID is compared as a 32-bit program reads it, and
# the 64-bit program's 32-bit view of it is left out of the comparison.
progid='HKLM\Software\Classes\Trapline.Connect\CLSID'
read_by_32bit=$("$wine32" reg query "$progid" /ve </dev/null 2>/dev/null || true)
[[ "$read_by_32bit" == *'{D26D66EF-D11E-4A0D-ACB0-F26079A76A88}'* ]] ||
    fail "32-bit programs do not read the machine-wide package's ProgID"
without_32bit_progid() {
    awk '/^\[/ { skip = ($0 == "[32] HKLM\\Software\\Classes\\Trapline.Connect") } !skip'
}
machine_installed=$(machine_snapshot | without_32bit_progid)

echo "== msiexec /x the machine-wide package" >&2
"$wine64" msiexec /x "$("$wine64" winepath -w "$machine_msi" 2>/dev/null)" /qn </dev/null ||
    fail "msiexec /x of the machine-wide package ended with $?"
if [ "$(machine_snapshot)" != "$machine_empty" ]; then
    fail "msiexec /x of the machine-wide package left keys:"
    diff <(echo "$machine_empty") <(machine_snapshot) >&2 || true
fi
if [ -e "$machine_dir" ]; then
    fail "msiexec /x left $machine_dir: $(cd "$machine_dir" && find . | tr '\n' ' ')"
fi

echo "== regsvr32 for the machine, to compare with" >&2
mkdir -p "$machine_dir/x64" "$machine_dir/x86"
cp "$x64" "$machine_dir/x64/Trapline.dll"
cp "$x86" "$machine_dir/x86/Trapline.dll"
machine_regsvr32 "$machine_win_dir" x64
machine_regsvr32 "$machine_win_dir" x86
machine_registered=$(machine_snapshot | without_32bit_progid)
machine_regsvr32 "$machine_win_dir" x86 /u
machine_regsvr32 "$machine_win_dir" x64 /u
rm -rf "$machine_dir"
if [ "$machine_installed" != "$machine_registered" ]; then
    fail "the machine-wide MSI's registration differs from the DLLs' own (< MSI, > regsvr32):"
    diff <(echo "$machine_installed") <(echo "$machine_registered") >&2 || true
fi

# Both DLLs for the machine, from the same folders, in either order, removed
# one at a time in either order: once one is gone, the registry is as if the
# other had been registered alone (its class, the ProgID, the type library and
# the interface in its view), and it still creates through the ProgID; once
# both are gone, nothing is left in either view.
echo "== regsvr32 for the machine, both bitnesses" >&2
mkdir -p "$install_dir/x64" "$install_dir/x86"
cp "$x64" "$install_dir/x64/Trapline.dll"
cp "$x86" "$install_dir/x86/Trapline.dll"
empty=$(machine_snapshot)
declare -A alone
for bitness in x64 x86; do
    machine_regsvr32 "$win_dir" $bitness
    alone[$bitness]=$(machine_snapshot)
    creates $bitness || fail "the $bitness DLL alone for the machine does not create"
    machine_regsvr32 "$win_dir" $bitness /u
done
other_of() { if [ "$1" = x64 ]; then echo x86; else echo x64; fi; }
for first in x64 x86; do
    for removed in x64 x86; do
        second=$(other_of $first) kept=$(other_of $removed)
        machine_regsvr32 "$win_dir" $first
        machine_regsvr32 "$win_dir" $second
        machine_regsvr32 "$win_dir" $removed /u
        left=$(machine_snapshot)
        if [ "$left" != "${alone[$kept]}" ]; then
            fail "$first then $second for the machine, $removed removed: not as $kept alone (< alone, > left):"
            diff <(echo "${alone[$kept]}") <(echo "$left") >&2 || true
        fi
        creates $kept || fail "$first then $second for the machine, $removed removed: $kept no longer creates"
        machine_regsvr32 "$win_dir" $kept /u
        if [ "$(machine_snapshot)" != "$empty" ]; then
            fail "$first then $second for the machine, $removed then $kept removed: keys left:"
            diff <(echo "$empty") <(machine_snapshot) >&2 || true
        fi
    done
done
rm -rf "$install_dir"

if [ "$installed" != "$registered" ]; then
    fail "the MSI's registration differs from the DLLs' own (< MSI, > regsvr32):"
    diff <(echo "$installed") <(echo "$registered") >&2 || true
fi
if [ $failures -gt 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "Both MSIs installed, registered as the DLLs register themselves, and removed without a trace" >&2
