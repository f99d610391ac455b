#!/usr/bin/env bash
# Cross-builds the Windows program on Debian: build-win/quillmark.exe (x86-64; the C and C++
# runtimes, zlib and HarfBuzz linked in) and build-win/quillmark-<version>-windows.zip, which
# unpacks into one folder quillmark-<version>-windows\ holding the stripped .exe, the DLLs it
# needs, LICENSE, THIRD-PARTY-NOTICES and README-Windows.txt.
#
#   tools/build-windows.sh [--tests]
#
#   --tests  also builds the unit tests for Windows (GoogleTest from /usr/src/googletest, built
#            with the same toolchain into build-win/googletest/); they run under wine.
#
# HarfBuzz (for -embedfont) is Debian's own source package, fetched once with apt-get source
# through a private apt configuration in build-win/apt/ (its deb-src entries are derived from
# this machine's apt sources) and cross-built once with meson into build-win/harfbuzz/; later
# runs reuse it. Installs what is missing first (mingw-w64, zlib and libgcrypt for mingw, meson,
# ninja, dpkg-dev, wine, and googletest for --tests), through sudo when not root.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
. tools/install-deps.sh
use_utf8_locale

with_tests=0
for arg in "$@"; do
    case "$arg" in
    --tests) with_tests=1 ;;
    -h | --help)
        sed -n '2,16p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *)
        echo "build-windows.sh: unknown option '$arg' (use --tests)" >&2
        exit 2
        ;;
    esac
done

jobs=$(nproc 2>/dev/null || echo 1)
[ "$jobs" -gt 2 ] && jobs=2

packages=(cmake make g++-mingw-w64-x86-64-posix libz-mingw-w64-dev libgcrypt-mingw-w64-dev
          libgpg-error-mingw-w64-dev binutils-mingw-w64-x86-64 meson ninja-build pkg-config
          dpkg-dev zip wine wine64)
[ "$with_tests" -eq 1 ] && packages+=(googletest)
install_missing build-windows.sh "${packages[@]}"

toolchain="$PWD/cmake/mingw-w64-x86_64.cmake"
# wine's own folder inside the build folder, so that the host's is left alone; its first start
# takes a while.
export WINEPREFIX="${WINEPREFIX:-$PWD/build-win/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
mkdir -p build-win

# ---- HarfBuzz from Debian's source package ------------------------------------------------
hb_root="$PWD/build-win/harfbuzz"
hb_prefix="$hb_root/install"

# deb-src entries for this Debian release, derived from the machine's own apt sources (deb822
# .sources files and one-line .list files): every enabled "deb" entry of the release's suites
# (bookworm, bookworm-updates, bookworm-security ...) becomes a "deb-src" entry. Writes
# $1/sources.list and $1/sources.list.d/host.sources; fails when there is none.
derive_source_entries() {
    local out="$1" codename f
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    if [ -z "$codename" ]; then
        echo "build-windows.sh: /etc/os-release names no release (VERSION_CODENAME)" >&2
        return 1
    fi
    mkdir -p "$out/sources.list.d"
    local deb822=() oneline=()
    for f in /etc/apt/sources.list.d/*.sources; do [ -f "$f" ] && deb822+=("$f"); done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] && oneline+=("$f")
    done
    : > "$out/sources.list.d/host.sources"
    if [ "${#deb822[@]}" -gt 0 ]; then
        awk -v cn="$codename" '
            function flush(  n, s, i, ours) {
                if (stanza != "" && types ~ /(^|[ \t])deb([ \t]|$)/ && enabled != "no") {
                    n = split(suites, s, /[ \t]+/)
                    for (i = 1; i <= n; i++) if (s[i] == cn || index(s[i], cn "-") == 1) ours = 1
                    if (ours) {
                        sub(/^Types:[^\n]*/, "Types: deb-src", stanza)
                        sub(/\nTypes:[^\n]*/, "\nTypes: deb-src", stanza)
                        print stanza "\n"
                    }
                }
                stanza = ""; types = ""; suites = ""; enabled = ""
            }
            FNR == 1 { flush() }
            /^[ \t]*$/ { flush(); next }
            /^#/ { next }
            { stanza = stanza (stanza == "" ? "" : "\n") $0 }
            tolower($1) == "types:" { types = $0; sub(/^[^:]*:/, "", types) }
            tolower($1) == "suites:" { suites = $0; sub(/^[^:]*:[ \t]*/, "", suites) }
            tolower($1) == "enabled:" { enabled = tolower($2) }
            END { flush() }' "${deb822[@]}" > "$out/sources.list.d/host.sources"
    fi
    : > "$out/sources.list"
    # "deb [options] URI suite components": the suite is the word after the URI.
    if [ "${#oneline[@]}" -gt 0 ]; then
        awk -v cn="$codename" '
            $1 == "deb" {
                i = 2
                if ($2 ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
                suite = $(i + 1)
                if (suite == cn || index(suite, cn "-") == 1) { $1 = "deb-src"; print }
            }' "${oneline[@]}" > "$out/sources.list"
    fi
    if ! [ -s "$out/sources.list" ] && ! [ -s "$out/sources.list.d/host.sources" ]; then
        echo "build-windows.sh: no Debian $codename entry in /etc/apt to fetch harfbuzz's" \
            "source package from" >&2
        return 1
    fi
}

# Fetches and unpacks Debian's harfbuzz source package into build-win/harfbuzz/src/ through an
# apt configuration of its own (lists and cache under build-win/apt/): the system's apt state
# is left alone and nothing needs root.
fetch_harfbuzz() {
    local apt="$PWD/build-win/apt"
    rm -rf "$apt" "$hb_root/src"
    mkdir -p "$apt/etc" "$apt/state/lists/partial" "$apt/cache/archives/partial" "$hb_root/src"
    : > "$apt/state/status"
    derive_source_entries "$apt/etc" || return 1
    local opts=(-o "Dir::Etc::SourceList=$apt/etc/sources.list"
        -o "Dir::Etc::SourceParts=$apt/etc/sources.list.d"
        -o "Dir::State=$apt/state" -o "Dir::State::status=$apt/state/status"
        -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=$(id -un)")
    echo "build-windows.sh: fetching Debian's harfbuzz source package"
    apt-get "${opts[@]}" -q update || return 1
    (cd "$hb_root/src" && apt-get "${opts[@]}" -q source harfbuzz) || return 1
}

# The unpacked source folder under build-win/harfbuzz/src/, or nothing.
harfbuzz_source() {
    local found
    found=$(find "$hb_root/src" -mindepth 2 -maxdepth 2 -name meson.build -path '*/harfbuzz-*' \
        2>/dev/null | head -n 1)
    [ -n "$found" ] && dirname "$found"
}

# Cross-builds the static HarfBuzz libraries (the shaper and the subsetter; no FreeType, GLib,
# ICU or Cairo) into build-win/harfbuzz/install/, once.
build_harfbuzz() {
    if [ -f "$hb_prefix/lib/pkgconfig/harfbuzz-subset.pc" ]; then
        echo "build-windows.sh: HarfBuzz for Windows already built in $hb_prefix"
        return 0
    fi
    local src
    src=$(harfbuzz_source || true)
    if [ -z "$src" ]; then
        fetch_harfbuzz || return 1
        src=$(harfbuzz_source || true)
        if [ -z "$src" ]; then
            echo "build-windows.sh: no harfbuzz source in $hb_root/src" >&2
            return 1
        fi
    fi
    printf '%s\n' "[binaries]" \
        "c = 'x86_64-w64-mingw32-gcc-posix'" \
        "cpp = 'x86_64-w64-mingw32-g++-posix'" \
        "ar = 'x86_64-w64-mingw32-ar'" \
        "strip = 'x86_64-w64-mingw32-strip'" \
        "windres = 'x86_64-w64-mingw32-windres'" \
        "" \
        "[host_machine]" \
        "system = 'windows'" \
        "cpu_family = 'x86_64'" \
        "cpu = 'x86_64'" \
        "endian = 'little'" > "$hb_root/cross.ini"
    echo "build-windows.sh: building HarfBuzz for Windows from $src"
    rm -rf "$hb_root/build" "$hb_prefix"
    meson setup "$hb_root/build" "$src" --cross-file "$hb_root/cross.ini" \
        --prefix "$hb_prefix" --libdir lib --buildtype release --wrap-mode nodownload \
        -Ddefault_library=static -Dfreetype=disabled -Dglib=disabled -Dgobject=disabled \
        -Dicu=disabled -Dcairo=disabled -Dchafa=disabled -Dgraphite2=disabled \
        -Dintrospection=disabled -Dtests=disabled -Ddocs=disabled -Dbenchmark=disabled \
        -Dgdi=disabled -Ddirectwrite=disabled || return 1
    ninja -C "$hb_root/build" -j"$jobs" || return 1
    ninja -C "$hb_root/build" install > /dev/null || return 1
}

if ! build_harfbuzz; then
    echo "build-windows.sh: HarfBuzz for Windows could not be built" >&2
    exit 1
fi
# The build below finds the Windows HarfBuzz through its pkg-config files only.
export PKG_CONFIG_LIBDIR="$hb_prefix/lib/pkgconfig"
unset PKG_CONFIG_PATH

# The test programs run under wine while they are discovered: they load libgcrypt and
# libgpg-error from the mingw packages' DLL folder.
export WINEPATH="/usr/x86_64-w64-mingw32/bin"
test_args=(-DQUILLMARK_TESTS=OFF)
if [ "$with_tests" -eq 1 ]; then
    gtest_prefix="$PWD/build-win/googletest/install"
    if [ ! -f "$gtest_prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
        echo "build-windows.sh: building GoogleTest for Windows"
        cmake -S /usr/src/googletest -B build-win/googletest/build \
            -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
            -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON -DCMAKE_INSTALL_PREFIX="$gtest_prefix"
        cmake --build build-win/googletest/build -j"$jobs"
        cmake --install build-win/googletest/build
    fi
    # Test discovery runs the test programs during the build: under wine.
    test_args=(-DQUILLMARK_TESTS=ON -DGTest_DIR="$gtest_prefix/lib/cmake/GTest"
        -DCMAKE_CROSSCOMPILING_EMULATOR=wine)
fi

cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DQUILLMARK_HARFBUZZ=ON -DQUILLMARK_WINDOWS_PREFIXES="$hb_prefix" "${test_args[@]}"
if ! grep -q '^HARFBUZZ_FOUND:INTERNAL=1$' build-win/CMakeCache.txt; then
    echo "build-windows.sh: the build did not find the Windows HarfBuzz in $hb_prefix" >&2
    exit 1
fi
cmake --build build-win -j"$jobs"

# ---- The zip for users ---------------------------------------------------------------------
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win/CMakeCache.txt)
folder="quillmark-$version-windows"
stage="$PWD/build-win/zip"
rm -rf "$stage" build-win/quillmark-*windows.zip
mkdir -p "$stage/$folder"
x86_64-w64-mingw32-strip -o "$stage/$folder/quillmark.exe" build-win/quillmark.exe

# The DLLs that the program loads beyond Windows' own (libgcrypt-20.dll, and the
# libgpg-error-0.dll that it loads in turn), copied unchanged from Debian's mingw packages.
mingw_bin=/usr/x86_64-w64-mingw32/bin
imports() { x86_64-w64-mingw32-objdump -p "$1" | awk '/DLL Name:/ { print $3 }'; }
pending=("$stage/$folder/quillmark.exe")
while [ "${#pending[@]}" -gt 0 ]; do
    current="${pending[0]}"
    pending=("${pending[@]:1}")
    while IFS= read -r dll; do
        [ -f "$mingw_bin/$dll" ] || continue # Windows' own
        [ -f "$stage/$folder/$dll" ] && continue
        cp "$mingw_bin/$dll" "$stage/$folder/$dll"
        pending+=("$stage/$folder/$dll")
    done < <(imports "$current")
done

cp LICENSE THIRD-PARTY-NOTICES "$stage/$folder/"
# The examples the usage text names: the .bat scripts in CR LF as they are kept, the sample
# document they stamp, and the .sh twins.
mkdir -p "$stage/$folder/examples"
cp examples/*.bat examples/*.sh examples/sample.pdf "$stage/$folder/examples/"
# Notepad before Windows 10 shows a text file's lines only when they end in CR LF.
sed 's/$/\r/' dist/windows/README-Windows.txt > "$stage/$folder/README-Windows.txt"
(cd "$stage" && cmake -E tar cf "../$folder.zip" --format=zip "$folder")

echo "build-windows.sh: built $PWD/build-win/quillmark.exe"
echo "build-windows.sh: for users: $PWD/build-win/$folder.zip"
