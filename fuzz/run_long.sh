#!/bin/bash
# One long run of a fuzz target, outside CI: builds it with clang in build-fuzz/ (as
# tools/test.sh does) and runs it for a number of executions over its committed seeds.
#
#   fuzz/run_long.sh [target] [runs]      (default: fuzz_repair 1000000)
#
# The log goes to build-fuzz/logs/<target>-long.log; its last line with "cov:" gives the
# executions and coverage reached.
set -eu
cd "$(dirname "${BASH_SOURCE[0]}")/.."
target=${1:-fuzz_repair}
runs=${2:-1000000}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DQUILLMARK_FUZZ=ON -DQUILLMARK_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build-fuzz --target "$target" -j2 > /dev/null
work="build-fuzz/corpus/$target-long"
mkdir -p "$work" "build-fuzz/artifacts/$target/" build-fuzz/logs
corpora=("$work")
[ -d "fuzz/seeds/$target" ] && corpora+=("fuzz/seeds/$target")
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "build-fuzz/fuzz/$target" -runs="$runs" -rss_limit_mb=2048 -timeout=30 \
    -artifact_prefix="build-fuzz/artifacts/$target/" "${corpora[@]}" \
    > "build-fuzz/logs/$target-long.log" 2>&1
status=$?
grep -E 'cov: [0-9]+' "build-fuzz/logs/$target-long.log" | tail -n 1
exit $status
