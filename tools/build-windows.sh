#!/usr/bin/env bash
# Cross-builds the Windows program on Debian: a static build-win/quillmark.exe (x86-64, no DLLs
# beyond Windows' own) and build-win/quillmark-windows.zip with the .exe and the README.
#
#   tools/build-windows.sh [--tests]
#
#   --tests  also builds the unit tests for Windows (GoogleTest from /usr/src/googletest, built
#            with the same toolchain into build-win/googletest/); they run under wine.
#
# Installs what is missing first (g++-mingw-w64-x86-64-posix, libz-mingw-w64-dev, libgcrypt-mingw-w64-dev, wine, and
# googletest for --tests), through sudo when not root.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
. tools/install-deps.sh

with_tests=0
for arg in "$@"; do
    case "$arg" in
    --tests) with_tests=1 ;;
    -h | --help)
        sed -n '2,11p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
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

packages=(cmake make g++-mingw-w64-x86-64-posix libz-mingw-w64-dev libgcrypt-mingw-w64-dev wine wine64)
[ "$with_tests" -eq 1 ] && packages+=(googletest)
install_missing build-windows.sh "${packages[@]}"

toolchain="$PWD/cmake/mingw-w64-x86_64.cmake"
# wine's own folder inside the build folder, so that the host's is left alone; its first start
# takes a while.
export WINEPREFIX="${WINEPREFIX:-$PWD/build-win/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
mkdir -p build-win

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

# Debian has no HarfBuzz built for Windows: the Windows program is built without it (and so
# refuses -embedfont with its cause), whatever the Linux side has.
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DQUILLMARK_HARFBUZZ=OFF "${test_args[@]}"
cmake --build build-win -j"$jobs"

rm -f build-win/quillmark-windows.zip
(cd build-win && cp ../README.md README.md && \
    cmake -E tar cf quillmark-windows.zip --format=zip quillmark.exe README.md && rm README.md)

echo "build-windows.sh: built $PWD/build-win/quillmark.exe"
echo "build-windows.sh: for users: $PWD/build-win/quillmark-windows.zip"
