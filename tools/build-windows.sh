#!/usr/bin/env bash
# Cross-builds trapline.exe, the form layer's Win32 side, the COM server's
# side of Trapline.dll and the Windows tests for x64 and x86 with MinGW-w64,
# checks that each program and DLL needs no DLL but the system's, runs the
# tests under wine and packs
# trapline-<version>-win64.zip and -win32.zip into build-windows/; with both
# targets, also the installers trapline-<version>.msi (per user) and
# trapline-<version>-machine.msi (for every user), installed and removed
# again under wine. Every package is checked for the licence's notices.
#
#   TRAPLINE_WINDOWS_ARCHS  the targets, "x64 x86" unless set
#   TRAPLINE_BUILD_LOCK     a lock file every build and test run waits for,
#                           for machines shared with other builds (none if unset)
#   JOBS                    parallel compile jobs (2)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
jobs=${JOBS:-2}
read -r -a archs <<<"${TRAPLINE_WINDOWS_ARCHS:-x64 x86}"
stages_title="Windows: time per stage"
source tools/stages.sh
trap report_stages EXIT

# Only what is missing is installed.
tools/install-deps.sh cmake ninja-build mingw-w64-tools libgtest-dev libgmock-dev libcli11-dev \
    nlohmann-json3-dev pkg-config libgsf-1-dev libzip-dev libz-mingw-w64-dev xz-utils g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 wine32:i386 \
    xvfb xauth wixl msitools fonts-wine

locked() {
    if [ -n "${TRAPLINE_BUILD_LOCK:-}" ]; then
        # -o: the lock stays with flock, never with wine's services, which
        # a command starts and which outlive it.
        flock -o "$TRAPLINE_BUILD_LOCK" "$@"
    else
        "$@"
    fi
}

# A wine prefix of our own, made once: no Mono or Gecko prompts, no
# debugging chatter, nothing of the user's ~/.wine touched. Each target after
# the first gets one more, so that the suites can run at once.
export WINEPREFIX=$out/wineprefix WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
declare -A wine_prefixes
for arch in "${archs[@]:1}"; do
    wine_prefixes[$arch]=$out/wineprefix-$arch
done
wineserver_binary=/usr/lib/wine/wineserver64
[ -x "$wineserver_binary" ] || wineserver_binary=$(command -v wineserver)
prepare_prefix() {
    export WINEPREFIX=$1
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        stage "wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        locked wineboot --init
        wineserver --wait
    fi
    # The form and tips tests open windows: wine's null display driver gives
    # them one without an X server (they never look at the screen itself).
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
    wineserver --wait
    # One wine session for the whole script, started before any build (test
    # discovery runs the tests too): wine's own background processes then
    # start here, not under ctest, where they would inherit its pipes and
    # keep each test waiting until they end.
    "$wineserver_binary" --persistent 2>/dev/null || true # or one runs already
    wine cmd /c exit </dev/null >/dev/null 2>&1
}
end_wine_sessions() {
    local prefix
    for prefix in "${wine_prefixes[@]}" "$out/wineprefix"; do
        WINEPREFIX=$prefix wineserver --kill 2>/dev/null || true
    done
}
trap 'status=$?; end_wine_sessions; report_stages $status' EXIT
for prefix in "${wine_prefixes[@]}"; do
    prepare_prefix "$prefix"
done
prepare_prefix "$out/wineprefix"

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

# Every DLL a program or a DLL of ours imports must come with Windows itself.
system_dlls='^(kernel32|msvcrt|advapi32|shell32|user32|ole32|oleaut32|shlwapi|ws2_32|bcrypt|ntdll|gdi32|comctl32|comdlg32|windowscodecs|version|api-ms-win-[a-z0-9-]+|ucrtbase)\.dll$'
check_imports() {
    local objdump=$1 exe dll bad=0
    shift
    for exe in "$@"; do
        local dlls
        dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -u)
        echo "$(basename "$exe") imports: $(echo "$dlls" | tr '\n' ' ')" >&2
        while read -r dll; do
            if ! echo "$dll" | tr '[:upper:]' '[:lower:]' | grep -Eq "$system_dlls"; then
                echo "error: $(basename "$exe") needs $dll, which Windows does not have" >&2
                bad=1
            fi
        done <<<"$dlls"
    done
    return $bad
}

# libzip for MinGW, which Debian does not package: built from Debian's own
# source package, static and without the codecs and crypto a package of
# Office documents never needs, against zlib from libz-mingw-w64-dev. Once
# per target; a new source version builds afresh. The source list lives
# under build-windows/, so the system's apt configuration is left alone.
libzip_version=1.7.3
fetch_libzip() {
    local deps=$out/deps
    [ -f "$deps/libzip_$libzip_version.orig.tar.xz" ] && return
    stage "libzip $libzip_version: Debian's source"
    mkdir -p "$deps/apt/lists/partial"
    echo "deb-src http://deb.debian.org/debian bookworm main" >"$deps/apt/sources.list"
    local apt=(-o Dir::Etc::sourcelist="$deps/apt/sources.list" -o Dir::Etc::sourceparts=-
        -o Dir::State::Lists="$deps/apt/lists")
    apt-get "${apt[@]}" update -qq
    (cd "$deps" && apt-get "${apt[@]}" source --download-only libzip >/dev/null)
    [ -f "$deps/libzip_$libzip_version.orig.tar.xz" ] ||
        { echo "error: Debian's libzip source is not $libzip_version" >&2; exit 1; }
}
build_libzip() {
    local arch=$1 triple=$2 deps=$out/deps
    local prefix=$deps/libzip-$libzip_version-$arch
    [ -f "$prefix/lib/libzip.a" ] && return
    fetch_libzip
    stage "libzip $libzip_version: build for $arch"
    rm -rf "$deps/src-$arch" "$prefix"
    mkdir -p "$deps/src-$arch"
    tar -xJf "$deps/libzip_$libzip_version.orig.tar.xz" -C "$deps/src-$arch" --strip-components=1
    local zlib=/usr/$triple
    cmake -S "$deps/src-$arch" -B "$deps/src-$arch/build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$triple.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
        -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_COMMONCRYPTO=OFF \
        -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_WINDOWS_CRYPTO=OFF \
        -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF \
        -DZLIB_INCLUDE_DIR="$zlib/include" -DZLIB_LIBRARY="$zlib/lib/libz.a" "${launcher[@]}" \
        >/dev/null
    locked cmake --build "$deps/src-$arch/build" -j"$jobs" >"$deps/build-$arch.log" ||
        { tail -20 "$deps/build-$arch.log" >&2; exit 1; }
    cmake --install "$deps/src-$arch/build" >/dev/null
    rm -rf "$deps/src-$arch"
}

# The Linux program the Windows one is compared with: the caller's own when
# it has one (tools/test.sh has just built it), else one built here.
linux_trapline=${TRAPLINE_LINUX_PROGRAM:-}
if [ -z "$linux_trapline" ]; then
    stage "Linux trapline, to compare with"
    cmake -S . -B "$out/linux" -G Ninja -DTRAPLINE_GUI=OFF -DTRAPLINE_TESTS=OFF \
        -DTRAPLINE_WERROR=ON "${launcher[@]}" >/dev/null
    locked cmake --build "$out/linux" -j"$jobs" --target trapline
    linux_trapline=$out/linux/cli/trapline
fi

triple_of() {
    case $1 in
    x64) echo x86_64-w64-mingw32 ;;
    x86) echo i686-w64-mingw32 ;;
    *) echo "unknown Windows target '$1' (x64 or x86)" >&2; exit 2 ;;
    esac
}
wine_of() { if [ "$1" = x64 ]; then echo /usr/lib/wine/wine64; else echo wine; fi; }

for arch in "${archs[@]}"; do
    triple=$(triple_of "$arch")
    build=$out/$arch
    build_libzip "$arch" "$triple"
    stage "Windows $arch: build"
    cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$triple.cmake" \
        -DTRAPLINE_LIBZIP_PREFIX="$out/deps/libzip-$libzip_version-$arch" \
        -DTRAPLINE_WERROR=ON "${launcher[@]}" >/dev/null
    locked cmake --build "$build" -j"$jobs"

    stage "Windows $arch: imports"
    mapfile -t programs < <(find "$build" \( -name '*.exe' -o -name '*.dll' \) \
        -not -path '*/CMakeFiles/*' | sort)
    check_imports "$triple-objdump" "${programs[@]}"
done

# The targets' suites run at once, each in a wine prefix of its own (the
# first target's is the script's): tests register the add-in and write
# settings, which must not meet another suite's. Each suite's output is
# printed whole once both have ended.
stage "Windows ${archs[*]}: tests under wine"
suite_pids=()
for i in "${!archs[@]}"; do
    arch=${archs[$i]}
    prefix=${wine_prefixes[$arch]:-$WINEPREFIX}
    WINEPREFIX=$prefix locked tools/wine-tests.sh "$out/$arch" "$jobs" $((99 + 50 * i)) >"$out/$arch-tests.log" 2>&1 &
    suite_pids+=($!)
done
suites_failed=()
for i in "${!archs[@]}"; do
    wait "${suite_pids[$i]}" || suites_failed+=("${archs[$i]}")
done
for arch in "${archs[@]}"; do
    echo "== Windows $arch: tests under wine" >&2
    cat "$out/$arch-tests.log" >&2
done
if [ "${#suites_failed[@]}" != 0 ]; then
    echo "error: tests failed under wine for ${suites_failed[*]}" >&2
    exit 1
fi

for arch in "${archs[@]}"; do
    build=$out/$arch
    wine=$(wine_of "$arch")
    stage "Windows $arch: the same results as on Linux"
    locked tools/windows-equivalence.sh "$linux_trapline" "$build/cli/trapline.exe" "$wine" \
        "$build/equivalence"

    stage "Windows $arch: pictures of the add-in's windows"
    rm -rf "$build/pictures"
    locked "$wine" "$build/trapline-render.exe" "$build/pictures" examples/Ledger.vbp >/dev/null

    stage "Windows $arch: package"
    (cd "$build" && cpack -G ZIP -B "$out" >/dev/null)
    zip=$out/$(sed -n 's/^set(CPACK_PACKAGE_FILE_NAME "\(.*\)")$/\1/p' "$build/CPackConfig.cmake").zip
    listing=$(unzip -Z1 "$zip")
    for file in trapline.exe Trapline.dll README.md LICENSE.txt; do
        grep -q "/$file\$" <<<"$listing" || { echo "error: $zip lacks $file" >&2; exit 1; }
    done
    installer/check-notices.sh "$zip"
done
rm -rf "$out/_CPack_Packages"

# Each MSI holds both DLLs, one for the user, one for the machine; each is
# installed and removed again under wine, and what it writes is compared with
# what the DLLs' own registration writes in that scope.
if [[ " ${archs[*]} " == *" x64 "* && " ${archs[*]} " == *" x86 "* ]]; then
    version=$(sed -n 's/^project(trapline VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
    stage "Windows: installers trapline-$version.msi and trapline-$version-machine.msi"
    rm -f "$out"/trapline-*.msi
    dlls=("$out/x64/host/Trapline.dll" "$out/x86/host/Trapline.dll")
    installer/build-msi.sh "$version" "${dlls[@]}" "$out/trapline-$version.msi" user
    installer/build-msi.sh "$version" "${dlls[@]}" "$out/trapline-$version-machine.msi" machine
    installer/check-notices.sh "$out/trapline-$version.msi" "$out/trapline-$version-machine.msi"
    locked installer/test-msi.sh "$out/trapline-$version.msi" "$out/trapline-$version-machine.msi" \
        "${dlls[@]}"
fi
ls -1 "$out"/*.zip >&2
ls -1 "$out"/*.msi 2>/dev/null >&2 || true
