#!/usr/bin/env bash
# Writes seed inputs for the reader's fuzz targets from the shared corpus (nothing of it is kept
# in the project): <output folder>/fuzz_document/, fuzz_parser/ and fuzz_flate/. tools/test.sh
# runs it before fuzzing.
#   fuzz/seed.sh <output folder> [corpus folder]
set -euo pipefail
out=${1:?output folder}
corpus=${2:-$(cd "$(dirname "$0")/../.." && pwd)/shared/corpus}
mkdir -p "$out/fuzz_document" "$out/fuzz_parser" "$out/fuzz_flate" "$out/fuzz_stamp" \
  "$out/fuzz_incremental" "$out/fuzz_overlay"
[ -d "$corpus" ] || { echo "no corpus at $corpus; seeds stay empty"; exit 0; }
# Documents: the smaller real files, linked rather than copied.
find "$corpus" -name '*.pdf' -size -64k -print0 | while IFS= read -r -d '' f; do
  ln -sf "$f" "$out/fuzz_document/$(basename "$f")"
  ln -sf "$f" "$out/fuzz_stamp/$(basename "$f")"
  ln -sf "$f" "$out/fuzz_incremental/$(basename "$f")"
  ln -sf "$f" "$out/fuzz_overlay/$(basename "$f")"
done
# Parser: the first 4 kB of a sample of files (object syntax, streams, tables).
find "$corpus" -name '*.pdf' -size -64k | sort | awk 'NR % 5 == 0' | while read -r f; do
  head -c 4096 "$f" > "$out/fuzz_parser/$(basename "$f").head"
done
# Flate: zlib data taken from the FlateDecode streams of a few files, behind the four bytes of
# parameters (predictor 12, 5 columns, 1 color, 8 bits; and no predictor).
command -v python3 >/dev/null || { echo "no python3; the flate seeds stay empty"; exit 0; }
python3 - "$corpus" "$out/fuzz_flate" <<'PY'
import os, re, sys, zlib
corpus, out = sys.argv[1], sys.argv[2]
count = 0
for root, _, files in os.walk(corpus):
    for name in sorted(files):
        if not name.endswith('.pdf') or count >= 200:
            continue
        data = open(os.path.join(root, name), 'rb').read()
        for m in re.finditer(rb'stream\r?\n', data):
            chunk = data[m.end():m.end() + 2048]
            try:
                zlib.decompressobj().decompress(chunk[:64])
            except zlib.error:
                continue
            for params in (bytes([4, 4, 0, 3]), bytes([0, 0, 0, 3])):
                open(os.path.join(out, '%s-%d-%d' % (name, m.start(), params[0])), 'wb').write(params + chunk)
                count += 1
            break
PY
echo "seeds: $(ls "$out/fuzz_document" | wc -l) documents, $(ls "$out/fuzz_parser" | wc -l) parser, $(ls "$out/fuzz_flate" | wc -l) flate"
