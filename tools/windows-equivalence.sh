#!/usr/bin/env bash
# Runs the Linux trapline and the Windows trapline.exe (under wine) through
# the same commands on the same projects, each in a copy of its own, and
# fails unless both give the same exit codes, the same stdout and stderr and
# byte-identical files. The projects: the example, a generated one, and the
# example again under a Cyrillic folder name with spaces, more than 260
# characters deep, named with either separator.
#
#   tools/windows-equivalence.sh LINUX_TRAPLINE WINDOWS_TRAPLINE_EXE WINE WORK_FOLDER
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: $0 LINUX_TRAPLINE WINDOWS_TRAPLINE_EXE WINE WORK_FOLDER" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
linux=$1 windows=$2 wine=$3 work=$4
# Arguments reach wine, and through it the program's UTF-16 command line,
# in the locale's encoding.
export LC_ALL=C.UTF-8
rm -rf "$work"
mkdir -p "$work/linux" "$work/windows"
failures=0

# A project with Cyrillic module names, CRLF line ends, several kinds of
# procedure and one module in a subfolder, in Windows-1251 as VB6 writes it.
generate_project() {
    local dir=$1 m p
    mkdir -p "$dir/Формы"
    {
        printf 'Type=Exe\r\n'
        for m in 1 2 3; do printf 'Module=Модуль%s; Модуль%s.bas\r\n' "$m" "$m"; done
        printf 'Class=Счёт; Формы\\Счёт.cls\r\n'
        printf 'Name="Сгенерированный"\r\n'
    } | iconv -f UTF-8 -t CP1251 >"$dir/Проект.vbp"
    for m in 1 2 3; do
        {
            printf 'Attribute VB_Name = "Модуль%s"\r\nOption Explicit\r\n\r\n' "$m"
            for p in 1 2 3 4; do
                printf 'Public Sub Процедура%s_%s(ByVal x As Long)\r\n    x = x + %s\r\nEnd Sub\r\n\r\n' "$m" "$p" "$p"
                printf 'Private Function Функция%s_%s() As String\r\n    Функция%s_%s = "%s"\r\nEnd Function\r\n\r\n' "$m" "$p" "$m" "$p" "$p"
            done
            printf 'Public Sub Одна%s(): End Sub\r\n' "$m"
        } | iconv -f UTF-8 -t CP1251 >"$dir/Модуль$m.bas"
    done
    {
        printf 'VERSION 1.0 CLASS\r\nBEGIN\r\n  MultiUse = -1  '"'"'True\r\nEND\r\n'
        printf 'Attribute VB_Name = "Счёт"\r\nOption Explicit\r\n\r\n'
        printf 'Public Property Get Сумма() As Currency\r\n    Сумма = 1\r\nEnd Property\r\n'
    } | iconv -f UTF-8 -t CP1251 >"$dir/Формы/Счёт.cls"
}

# run NAME FOLDER_BELOW_SIDE ARGS...: the command in both copies; an
# argument "@sep" stands for the system's separator in the next argument.
run() {
    local name=$1 folder=$2
    shift 2
    local side
    for side in linux windows; do
        local args=() a
        for a in "$@"; do
            [ "$side" = windows ] && a=${a//@\//\\} || a=${a//@\//\/}
            args+=("$a")
        done
        local result=$work/$side.results/$name
        mkdir -p "$result"
        set +e
        if [ "$side" = linux ]; then
            (cd "$work/$side/$folder" && timeout 120 "$linux" "${args[@]}") \
                </dev/null >"$result/out" 2>"$result/err"
        else
            (cd "$work/$side/$folder" && timeout 120 "$wine" "$windows" "${args[@]}") \
                </dev/null >"$result/out" 2>"$result/err"
        fi
        echo $? >"$result/status"
        set -e
    done
    if ! diff -r "$work/linux.results/$name" "$work/windows.results/$name" >"$work/$name.diff"; then
        echo "DIFFERS: $name ($*)" >&2
        head -20 "$work/$name.diff" >&2
        failures=$((failures + 1))
    fi
}

# The same commands on one project in both copies, then the trees compared.
treat() {
    local tag=$1 folder=$2 project=$3
    run "$tag-list" "$folder" list --json "$project"
    run "$tag-check" "$folder" check "$project"
    run "$tag-check-json" "$folder" check --format json "$project"
    run "$tag-dry-run" "$folder" insert --dry-run "$project"
    run "$tag-insert" "$folder" insert --live --backup "$project"
    run "$tag-check-after" "$folder" check --live "$project"
    run "$tag-remove" "$folder" remove --live "$project"
    run "$tag-error-module" "$folder" add-error-module "$project"
}

long=$(printf 'папка-с-длинным-именем-%02d/' $(seq 1 12))
for side in linux windows; do
    cp -r "$root/examples" "$work/$side/example"
    generate_project "$work/$side/generated"
    mkdir -p "$work/$side/Проект с пробелами/$long"
    cp -r "$root/examples" "$work/$side/Проект с пробелами/$long/Пример"
done
# A diff names each file's time: both copies get the same one, a whole
# second, which every file system keeps exactly.
find "$work/linux" "$work/windows" -exec touch -h -d '2024-05-01 12:00:00 UTC' {} +

treat example example Ledger.vbp
treat generated generated Проект.vbp
run generated-module-by-path generated insert --live "Формы@/Счёт.cls"
run generated-bad-codepage generated list --codepage no-such Проект.vbp
run unknown-command . frobnicate
run usage .
treat deep "Проект с пробелами" "${long}Пример@/Ledger.vbp"

if ! diff -r "$work/linux" "$work/windows" >"$work/files.diff"; then
    echo "DIFFERS: the files written" >&2
    head -40 "$work/files.diff" >&2
    failures=$((failures + 1))
fi
echo "equivalence: $failures difference(s); results in $work" >&2
[ "$failures" -eq 0 ]
