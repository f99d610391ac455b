#!/usr/bin/env bash
# Builds Quillmark and runs every test:
#   1. Release build in build/ and its unit tests (ctest);
#   2. AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/ and the same tests;
#   3. libFuzzer targets built with clang in build-fuzz/, each run for FUZZ_SECONDS seconds;
#   4. Windows: quillmark.exe (HarfBuzz from Debian's source package built in the first time),
#      the zip and the unit tests cross-built in build-win/ by tools/build-windows.sh, the tests
#      run under wine, then tools/windows-checks.sh (the .exe and the zip, judged from Linux).
#
#   tools/test.sh [--no-asan] [--no-fuzz] [--no-windows]
#
# Environment:
#   FUZZ_SECONDS  time per fuzz target in seconds (default 20)
#
# Fuzz seeds: a target fuzz_x reads the committed seeds in fuzz/seeds/fuzz_x/ (written by
# fuzz/make_seeds.cpp). If fuzz/seed.sh exists it is run first as "fuzz/seed.sh <folder>"; the
# seed files it writes into <folder>/fuzz_x/ are read by fuzz_x too.
#
# The summary gives each ctest run's result and that of the unit tests under wine, the number of
# skipped tests and each reason they gave once with its count, and each fuzz target's last
# coverage ("cov:" edges, "ft:" features).
#
# Installs missing Debian packages first (through sudo when not root). Stages that fail do not
# stop the later ones; the exit status is 1 when any stage failed.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
. tools/install-deps.sh
use_utf8_locale

run_asan=1
run_fuzz=1
run_windows=1
for arg in "$@"; do
    case "$arg" in
    --no-asan) run_asan=0 ;;
    --no-fuzz) run_fuzz=0 ;;
    --no-windows) run_windows=0 ;;
    -h | --help)
        sed -n '2,24p' tools/test.sh | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *)
        echo "test.sh: unknown option '$arg' (use --no-asan, --no-fuzz, --no-windows)" >&2
        exit 2
        ;;
    esac
done

fuzz_seconds="${FUZZ_SECONDS:-20}"
case "$fuzz_seconds" in
'' | *[!0-9]*)
    echo "test.sh: FUZZ_SECONDS must be a whole number of seconds, not '$fuzz_seconds'" >&2
    exit 2
    ;;
esac

jobs=$(nproc 2>/dev/null || echo 1)
[ "$jobs" -gt 2 ] && jobs=2

packages=(g++ cmake make zlib1g-dev libgcrypt20-dev libgtest-dev qpdf poppler-utils openssl pkg-config
          libharfbuzz-dev fonts-dejavu-core fonts-ipafont-gothic fonts-liberation lintian)
[ "$run_fuzz" -eq 1 ] && packages+=(clang libclang-rt-14-dev)
[ "$run_windows" -eq 1 ] && packages+=(faketime)
install_missing test.sh "${packages[@]}"

failed=()
summaries=()
# Leaks count as failures; the first sanitizer report ends the process.
sanitizer_env=(ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1)

section() {
    echo
    echo "==== $* ===="
}

# The reasons that GTEST_SKIP() gave in ctest's full log $1 (the line after "...: Skipped"),
# counted: "   3 no corpus at /path".
skip_reasons() {
    [ -f "$1" ] || return 0
    awk '/: Skipped$/ { grab = 1; next } grab { print; grab = 0 }' "$1" | sort | uniq -c |
        sort -rn
}

# Runs ctest in build folder $1, with the environment assignments that follow, and keeps its
# summary line, the number of skipped tests and their reasons for the end of the run.
run_ctest() {
    local dir="$1" status=0 line skipped reason
    shift
    rm -f "$dir/ctest.log" "$dir/Testing/Temporary/LastTest.log"
    env "$@" ctest --test-dir "$dir" --output-on-failure --no-tests=error 2>&1 |
        tee "$dir/ctest.log" || status=$?
    line=$(grep -E 'tests passed|No tests were found' "$dir/ctest.log" | tail -n 1 || true)
    skipped=$(grep -cE '^[[:space:]]*[0-9]+ - .*\(Skipped\)$' "$dir/ctest.log" || true)
    summaries+=("$dir: ${line:-no ctest summary}; ${skipped:-0} skipped")
    while IFS= read -r reason; do
        [ -n "$reason" ] && summaries+=("  skipped:$reason")
    done < <(skip_reasons "$dir/Testing/Temporary/LastTest.log")
    return "$status"
}

stage_release() {
    section "Release build (build/)"
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_TESTS=ON || return 1
    cmake --build build -j"$jobs" || return 1
    section "Tests (build/)"
    run_ctest build
}

stage_asan() {
    section "Sanitizer build (build-asan/)"
    cmake -S . -B build-asan -DQUILLMARK_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQUILLMARK_TESTS=ON || return 1
    # Test discovery runs the test binaries during the build, so the options apply there too.
    env "${sanitizer_env[@]}" cmake --build build-asan -j"$jobs" || return 1
    section "Tests under the sanitizers (build-asan/)"
    run_ctest build-asan "${sanitizer_env[@]}"
}

# Runs one libFuzzer executable $1 for the configured time; its output goes to the terminal
# and to build-fuzz/logs/<target>.log.
run_fuzzer() {
    local exe="$1" name
    name=$(basename "$exe")
    local work="build-fuzz/corpus/$name" artifacts="build-fuzz/artifacts/$name/"
    mkdir -p "$work" "$artifacts" build-fuzz/logs
    # The first folder receives new inputs; the seed folders are only read.
    local corpora=("$work")
    [ -d "fuzz/seeds/$name" ] && corpora+=("fuzz/seeds/$name")
    [ -d "build-fuzz/seeds/$name" ] && corpora+=("build-fuzz/seeds/$name")
    section "Fuzzing $name for ${fuzz_seconds}s (corpus: ${corpora[*]})"
    # The outer timeout only guards against a fuzzer that ignores -max_total_time.
    env "${sanitizer_env[@]}" timeout -k 10 $((fuzz_seconds + 300)) \
        "$exe" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -timeout=30 \
        -artifact_prefix="$artifacts" -print_final_stats=1 "${corpora[@]}" 2>&1 |
        tee "build-fuzz/logs/$name.log"
    return "${PIPESTATUS[0]}"
}

# The coverage that the last status line of a fuzz log $1 reports: "cov: 2255 ft: 8123".
fuzz_coverage() {
    grep -oE 'cov: [0-9]+ ft: [0-9]+' "$1" 2>/dev/null | tail -n 1 || true
}

stage_fuzz() {
    section "Fuzz build (build-fuzz/)"
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -DQUILLMARK_FUZZ=ON -DQUILLMARK_TESTS=OFF \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo || return 1
    cmake --build build-fuzz -j"$jobs" || return 1
    rm -rf build-fuzz/seeds
    if [ -e fuzz/seed.sh ]; then
        mkdir -p build-fuzz/seeds
        bash fuzz/seed.sh build-fuzz/seeds || return 1
    fi
    local targets=() exe name status=0
    while IFS= read -r exe; do
        targets+=("$exe")
    done < <(find build-fuzz/fuzz -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x 2>/dev/null | sort)
    if [ "${#targets[@]}" -eq 0 ]; then
        echo "test.sh: no fuzz_* executables in build-fuzz/fuzz/" >&2
        return 1
    fi
    local coverage seeds
    for exe in "${targets[@]}"; do
        name=$(basename "$exe")
        seeds=$(find "fuzz/seeds/$name" -type f 2>/dev/null | wc -l)
        if run_fuzzer "$exe"; then
            coverage=$(fuzz_coverage "build-fuzz/logs/$name.log")
            coverage=${coverage:-no coverage line}
            summaries+=("fuzz $name: ran ${fuzz_seconds}s without a finding; $coverage; $seeds seeds")
        else
            summaries+=("fuzz $name: FAILED, inputs in build-fuzz/artifacts/$name/")
            status=1
        fi
    done
    return "$status"
}

# The skipped tests of a GoogleTest program's output $1 ("[  SKIPPED ] Suite.Name", each once).
gtest_skipped() {
    tr -d '\r' <"$1" | grep -E '^\[  SKIPPED \] [A-Za-z_]' | sed 's/ ([0-9]* ms)$//' | sort -u |
        wc -l
}

stage_windows() {
    section "Windows build (build-win/) and its tests under wine"
    bash tools/build-windows.sh --tests || return 1
    export WINEPREFIX="$PWD/build-win/wine" WINEDEBUG=-all
    # The programs load libgcrypt and libgpg-error from the mingw packages' DLL folder.
    export WINEPATH="/usr/x86_64-w64-mingw32/bin"
    local exe name status=0 skipped=0 log passed reason
    rm -f build-win/tests/*.wine.log
    for exe in build-win/tests/pdf_tests.exe build-win/tests/stamp_tests.exe \
        build-win/tests/app_tests.exe; do
        name=$(basename "$exe" .exe)
        log="build-win/tests/$name.wine.log"
        (cd build-win/tests && timeout 600 wine "./$name.exe") >"$log" 2>&1 || status=1
        # The program's output without the line of every test that ran and passed.
        grep -vE '^\[ +(RUN|OK) +\]' "$log" || true
        skipped=$((skipped + $(gtest_skipped "$log")))
    done
    passed=$([ "$status" -eq 0 ] && echo passed || echo FAILED)
    summaries+=("build-win: unit tests under wine: $passed; $skipped skipped")
    # GoogleTest prints "<file>:<line>: Skipped" and the reason on the next line.
    while IFS= read -r reason; do
        [ -n "$reason" ] && summaries+=("  skipped:$reason")
    done < <(cat build-win/tests/*.wine.log | tr -d '\r' |
        awk '/: Skipped$/ { grab = 1; next } grab { print; grab = 0 }' | sort | uniq -c | sort -rn)
    section "Program checks of quillmark.exe under wine"
    bash tools/windows-checks.sh || status=1
    # The wine server of this prefix ends with the stage, not some seconds after it.
    wineserver -k 2>/dev/null || true
    return "$status"
}

stage_release || failed+=("release build and tests")
if [ "$run_asan" -eq 1 ]; then
    stage_asan || failed+=("sanitizer build and tests")
fi
if [ "$run_fuzz" -eq 1 ]; then
    stage_fuzz || failed+=("fuzzing")
fi

if [ "$run_windows" -eq 1 ]; then
    stage_windows || failed+=("Windows build and tests under wine")
fi

section "Summary"
for line in "${summaries[@]}"; do
    echo "$line"
done
[ "$run_asan" -eq 1 ] || echo "sanitizer stage skipped (--no-asan)"
[ "$run_fuzz" -eq 1 ] || echo "fuzz stage skipped (--no-fuzz)"
[ "$run_windows" -eq 1 ] || echo "Windows stage skipped (--no-windows)"
if [ "${#failed[@]}" -gt 0 ]; then
    printf 'FAILED: %s\n' "${failed[@]}"
    exit 1
fi
echo "All stages passed."
