#!/usr/bin/env bash
# Runs the Linux trapline and the Windows trapline.exe (under wine) through
# the same commands on the same projects, each in a copy of its own, and
# fails unless both give the same exit codes, the same stdout and stderr and
# byte-identical files. The projects: the example, a generated one, and the
# example again under a Cyrillic folder name with spaces, more than 260
# characters deep, named with either separator; and the sample Office
# documents, which are compared as trees of parts and streams: a compound
# file's layout is its writer's own (libgsf's on Linux, the system's
# structured storage on Windows), so its bytes may differ where its
# storages, streams and class ids do not.
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

# dump_documents FOLDER: every Office document below FOLDER becomes a folder
# FILE.tree of what it holds: a zip's entries in order (.entries) with their
# bytes, a compound file's storages as folders with their class ids
# (.clsid) and its streams as files; a compound file inside a zip (the
# project part) as a tree of its own. Characters a file name cannot hold
# are written %XX.
dump_documents() {
    python3 - "$1" <<'PY'
import io, os, struct, sys, zipfile

def safe(name):
    return "".join(c if c.isprintable() and c not in '/\\%' else "%%%02X" % ord(c) for c in name)

def cfb(data, out):
    u16 = lambda at: struct.unpack_from("<H", data, at)[0]
    u32 = lambda at: struct.unpack_from("<I", data, at)[0]
    size = 1 << u16(0x1E)
    sector = lambda n: data[(n + 1) * size:(n + 2) * size]
    fat_sectors = [u32(0x4C + 4 * k) for k in range(109)]
    at, seen = u32(0x44), set()
    while at < 0xFFFFFFFA and at not in seen:
        seen.add(at)
        block = sector(at)
        fat_sectors += struct.unpack_from("<%dI" % (size // 4), block)[:-1]
        at = struct.unpack_from("<I", block, size - 4)[0]
    fat = []
    for n in fat_sectors[:u32(0x2C)]:
        fat += struct.unpack_from("<%dI" % (size // 4), sector(n))
    def chain(at, table, read):
        out, seen = b"", set()
        while at < 0xFFFFFFFA and at < len(table) and at not in seen:
            seen.add(at)
            out += read(at)
            at = table[at]
        return out
    directory = chain(u32(0x30), fat, sector)
    entries = [directory[k:k + 128] for k in range(0, len(directory) - 127, 128)]
    field = lambda e, at: struct.unpack_from("<I", e, at)[0]
    mini = chain(field(entries[0], 0x74), fat, sector)
    minifat = chain(u32(0x3C), fat, sector)
    minifat = struct.unpack_from("<%dI" % (len(minifat) // 4), minifat)
    def stream(e):
        length = field(e, 0x78)
        if length < u32(0x38):
            return chain(field(e, 0x74), minifat, lambda n: mini[n * 64:(n + 1) * 64])[:length]
        return chain(field(e, 0x74), fat, sector)[:length]
    def children(index):
        pending, found = [field(entries[index], 0x4C)], []
        while pending:
            k = pending.pop()
            if k < len(entries) and k not in found:
                found.append(k)
                pending += [field(entries[k], 0x44), field(entries[k], 0x48)]
        return found
    def storage(index, folder):
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, ".clsid"), "w") as f:
            f.write(entries[index][0x50:0x60].hex() + "\n")
        for k in children(index):
            e = entries[k]
            length = struct.unpack_from("<H", e, 0x40)[0]
            name = safe(e[:max(length - 2, 0)].decode("utf-16-le", "replace"))
            if e[0x42] == 1:
                storage(k, os.path.join(folder, name))
            elif e[0x42] == 2:
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(stream(e))
    storage(0, out)

def dump(data, out):
    if data[:8] == bytes.fromhex("D0CF11E0A1B11AE1"):
        cfb(data, out)
        return True
    if data[:4] != b"PK\x03\x04":
        return False
    os.makedirs(out)
    with zipfile.ZipFile(io.BytesIO(data)) as package:
        with open(os.path.join(out, ".entries"), "w") as f:
            f.write("".join(n + "\n" for n in package.namelist()))
        for info in package.infolist():
            part = package.read(info)
            target = os.path.join(out, *[safe(p) for p in info.filename.split("/")])
            os.makedirs(os.path.dirname(target), exist_ok=True)
            if not dump(part, target + ".tree"):
                with open(target, "wb") as f:
                    f.write(part)
    return True

for folder, _, files in os.walk(sys.argv[1]):
    for name in files:
        path = os.path.join(folder, name)
        with open(path, "rb") as f:
            data = f.read()
        if dump(data, path + ".tree"):
            os.remove(path)
PY
}

# The sample documents: every container kind, Mac line ends, Japanese and
# Cyrillic projects.
documents=(vbaweb_Example.xlsm xlwings_engines_mac.xlsm calamine_issue281.xlsm calamine_issues.xlsb
    calamine_any_sheets.xls tika_testWORD_macros.doc tika_testWORD_macros.docm
    tika_testPPT_macros.pptm xlsxwriter_vbaProject.bin)
long=$(printf 'папка-с-длинным-именем-%02d/' $(seq 1 12))
for side in linux windows; do
    cp -r "$root/examples" "$work/$side/example"
    generate_project "$work/$side/generated"
    mkdir -p "$work/$side/Проект с пробелами/$long"
    cp -r "$root/examples" "$work/$side/Проект с пробелами/$long/Пример"
    mkdir -p "$work/$side/documents/all" "$work/$side/documents/one"
    for document in "${documents[@]}"; do
        cp "$root/tests/data/office/$document" "$work/$side/documents/all/"
    done
    cp "$root/tests/data/office/"{xlsxwriter_macro04_signed.xlsm,xlwings_addin_protected.xlam} \
        "$work/$side/documents/one/"
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
# Every command on a folder of documents, then the refusals by name.
run documents-list documents list --json all
run documents-check documents check all
run documents-check-json documents check --format json all
run documents-check-sarif documents check --format sarif all
run documents-dry-run documents insert --dry-run all
run documents-insert documents insert --live --backup all
run documents-number documents number all
run documents-remove documents remove --live all
run documents-error-module documents add-error-module all
run documents-signed documents check one/xlsxwriter_macro04_signed.xlsm
run documents-signature-removed documents insert --live --remove-signature \
    one/xlsxwriter_macro04_signed.xlsm
run documents-locked documents list one/xlwings_addin_protected.xlam
dump_documents "$work/linux/documents"
dump_documents "$work/windows/documents"

if ! diff -r "$work/linux" "$work/windows" >"$work/files.diff"; then
    echo "DIFFERS: the files written" >&2
    head -40 "$work/files.diff" >&2
    failures=$((failures + 1))
fi
echo "equivalence: $failures difference(s); results in $work" >&2
[ "$failures" -eq 0 ]
