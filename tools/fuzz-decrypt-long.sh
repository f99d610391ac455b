#!/usr/bin/env bash
# One long run of the decryption fuzz target, beyond the short runs of tools/test.sh: builds
# build-fuzz/ with clang when needed, writes the committed seeds' copy into a work folder and
# runs fuzz_decrypt for RUNS executions (default 1,000,000). The last lines of its log give the
# executions done and the coverage reached (libFuzzer's "cov:" edges and "ft:" features).
#
#   tools/fuzz-decrypt-long.sh [RUNS]      (log in build-fuzz/logs/fuzz_decrypt-long.log)
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
runs=${1:-1000000}
case "$runs" in
'' | *[!0-9]*)
    echo "fuzz-decrypt-long.sh: RUNS must be a whole number, not '$runs'" >&2
    exit 2
    ;;
esac
. tools/install-deps.sh
install_missing fuzz-decrypt-long.sh clang libclang-rt-14-dev cmake make zlib1g-dev \
    libgcrypt20-dev

if [ ! -x build-fuzz/fuzz/fuzz_decrypt ]; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -DQUILLMARK_FUZZ=ON -DQUILLMARK_TESTS=OFF \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build-fuzz -j2 --target fuzz_decrypt

work=build-fuzz/corpus/fuzz_decrypt-long
artifacts=build-fuzz/artifacts/fuzz_decrypt/
mkdir -p "$work" "$artifacts" build-fuzz/logs
log=build-fuzz/logs/fuzz_decrypt-long.log
# Leaks are looked for at the end of the run, as the short runs do.
build-fuzz/fuzz/fuzz_decrypt -runs="$runs" -rss_limit_mb=2048 -timeout=30 \
    -artifact_prefix="$artifacts" -print_final_stats=1 "$work" fuzz/seeds/fuzz_decrypt 2>&1 |
    tee "$log"
status=${PIPESTATUS[0]}
echo "fuzz-decrypt-long.sh: status $status; $(grep -oE '#[0-9]+.*cov: [0-9]+ ft: [0-9]+' "$log" |
    tail -n 1)"
exit "$status"
