#!/usr/bin/env bash
# Stamps the identity set with a frozen clock and writes one checksum line per output, so that
# two builds can be compared byte for byte:
#
#   tools/identity.sh <quillmark binary> <result folder>
#   diff <folder of build A>/sums.txt <folder of build B>/sums.txt
#
# The identity set: every clean file of the shared corpus, the benchmark inputs when
# /tmp/quillmark-bench/inputs holds them (BENCH_INPUTS overrides), and the installed PDF manuals
# under /usr/share/doc. Each is stamped with four option sets: the plain run, a detailed one,
# and both as incremental updates. A run that fails is recorded as its exit status, so a change
# of status shows in the diff as well; what a failed run printed goes to failures.txt beside
# the checksums. Needs faketime.
set -u
set -o pipefail

[ $# -eq 2 ] || { sed -n '2,13p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 2; }
qm=$(realpath "$1")
out=$2
checkout=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
corpus=${QUILLMARK_CORPUS_DIR:-$checkout/../shared/corpus}
bench=${BENCH_INPUTS:-/tmp/quillmark-bench/inputs}
command -v faketime > /dev/null || { echo "identity.sh: faketime is needed (apt-get install faketime)" >&2; exit 2; }
[ -x "$qm" ] || { echo "identity.sh: no program at $qm" >&2; exit 2; }

mkdir -p "$out/pdf"
sums="$out/sums.txt"
: > "$sums"
failures="$out/failures.txt"
: > "$failures"

inputs=()
if [ -f "$corpus/MANIFEST.tsv" ]; then
    while IFS=$'\t' read -r file status _; do
        [ "$status" = clean ] && inputs+=("$corpus/$file")
    done < "$corpus/MANIFEST.tsv"
fi
if [ -d "$bench" ]; then
    for f in "$bench"/*.pdf; do [ -f "$f" ] && inputs+=("$f"); done
fi
while IFS= read -r f; do inputs+=("$f"); done < <(find /usr/share/doc -name '*.pdf' -size +1M 2> /dev/null | sort)

detailed="-s2 -m3 -ROM -font Times-Roman -size14 -colorFF0000 -opacity50 -align center -pos-1,20 -prefix [FILETITLE]_[DD].[MM].[YYYY]_ -sep | -end [hh]:[mm]"
option_sets=(
    ""
    "$detailed"
    "-incremental"
    "-incremental $detailed"
)

n=0
for input in "${inputs[@]}"; do
    for set_index in "${!option_sets[@]}"; do
        n=$((n + 1))
        target="$out/pdf/$n.pdf"
        # faketime keeps a system-wide semaphore: when two runs on the machine clash over it,
        # it fails before the program starts ("faketime: sem_open: File exists"). Such a run
        # says nothing of the program and is made again, a few times at most.
        for attempt in 1 2 3; do
            rm -f "$target"
            # shellcheck disable=SC2086
            faketime -f '2026-01-02 03:04:05' "$qm" "-i$input" "-o$target" -quiet ${option_sets[$set_index]} \
                > "$out/console.txt" 2>&1
            status=$?
            [ "$status" -ne 0 ] && grep -q '^faketime: ' "$out/console.txt" || break
            sleep "$attempt"
        done
        name=${input#"$corpus/"}
        if [ "$status" -ne 0 ]; then
            { echo "== run $n: status $status, option set $set_index, $name"; cat "$out/console.txt"; } >> "$failures"
        fi
        if [ -f "$target" ]; then
            echo "$(md5sum < "$target" | cut -c1-32) $status $set_index $name" >> "$sums"
        else
            echo "no-output $status $set_index $name" >> "$sums"
        fi
        rm -f "$target"
    done
done
rm -f "$out/console.txt"
echo "identity.sh: $n runs, checksums in $sums"
