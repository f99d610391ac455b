#!/usr/bin/env bash
# Builds the reader benchmark (Release), writes a document of N pages (default 20000) with
# object streams and a cross-reference stream, then loads it and fetches every object under
# /usr/bin/time -v, printing the times and the peak memory; then the same for a one-page
# document with a large image stream (IMAGE_MB, default 100 MB), decoded in full.
#   bench/bench_reader.sh [pages] [build folder]
set -euo pipefail
pages=${1:-20000}
here=$(cd "$(dirname "$0")" && pwd)
build=${2:-$here/../../build-bench}
cmake -S "$here/.." -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_TESTS=OFF > /dev/null
cmake --build "$build" -j2 --target bench_reader > /dev/null
file=$(mktemp /tmp/quillmark-bench-XXXXXX.pdf)
trap 'rm -f "$file"' EXIT
"$build/bench/bench_reader" generate "$file" "$pages"
echo "file size: $(stat -c %s "$file") bytes"
/usr/bin/time -v "$build/bench/bench_reader" read "$file" 2> "$file.time"
grep -E 'Elapsed \(wall|Maximum resident|User time|System time' "$file.time"
rm -f "$file.time"
# A document with one large image stream: decoding it must not hold the stream in memory.
"$build/bench/bench_reader" image "$file" "${IMAGE_MB:-100}"
echo "file size: $(stat -c %s "$file") bytes"
/usr/bin/time -v "$build/bench/bench_reader" read "$file" 2> "$file.time"
grep -E 'Elapsed \(wall|Maximum resident|User time|System time' "$file.time"
rm -f "$file.time"
