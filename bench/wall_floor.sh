#!/usr/bin/env bash
# Wall time of -incremental against its floor, in one hyperfine call with the runs interleaved.
#
#   bench/wall_floor.sh [options] [QUILLMARK]
#
# For each of the benchmark's 20,000-page documents (text pages, and the same pages in object
# streams) it times three commands in turns, round after round, so that a change in the
# machine's load falls on all three alike:
#   cp     copying the input;
#   floor  copying the input and appending a file as large as quillmark's update (the least an
#          incremental update can cost: every input byte is copied, the update is written);
#   qm     quillmark -incremental.
# It prints the median of each and the ratios qm/floor and qm/cp, which are what the
# benchmark's goal speaks of (-incremental within 1.5 x the floor).
#
# It is a benchmark, not a test: it exits 0 whatever it measures, and non-zero only when it
# cannot run (no hyperfine, no binary, no inputs, a run that fails).

set -u
set -o pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
checkout=$(cd "$here/.." && pwd)

dir=/tmp/quillmark-bench
qm="$checkout/build/quillmark"
rounds=15
inputs=(text-20000 objstm-20000)

usage() {
    cat <<EOF
usage: bench/wall_floor.sh [options] [QUILLMARK]

  --dir DIR      benchmark folder holding inputs/ (default $dir)
  --rounds N     rounds of the three commands (default $rounds)
  -h, --help     this text
EOF
}

die() {
    echo "wall_floor: $*" >&2
    exit 1
}

while [ $# -gt 0 ]; do
    case "$1" in
        --dir) [ $# -ge 2 ] || die "--dir needs a folder"; dir=$2; shift 2 ;;
        --rounds) [ $# -ge 2 ] || die "--rounds needs a number"; rounds=$2; shift 2 ;;
        -h|--help) usage; exit 0 ;;
        -*) usage >&2; die "unknown option: $1" ;;
        *) qm=$1; shift ;;
    esac
done

[[ "$rounds" =~ ^[1-9][0-9]*$ ]] || die "--rounds must be a positive number"
command -v hyperfine >/dev/null || die "hyperfine is not installed (Debian package hyperfine)"
[ -x "$qm" ] || die "no executable $qm"
qm=$(cd "$(dirname "$qm")" && pwd)/$(basename "$qm")
for name in "${inputs[@]}"; do
    [ -f "$dir/inputs/$name.pdf" ] ||
        die "no $dir/inputs/$name.pdf (bench/bench_stamp.sh --self-test writes it)"
done

work=$(mktemp -d /tmp/wall-floor.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The medians of one input's CSV, as "cp floor qm" in seconds.
medians() {
    awk -F, 'NR > 1 {
                 what = $NF
                 n[what]++
                 t[what, n[what]] = $4
             }
             function median(w,    i, j, k, tmp, m) {
                 m = n[w]
                 for (i = 1; i <= m; i++) s[i] = t[w, i]
                 for (i = 2; i <= m; i++) {
                     tmp = s[i]
                     for (j = i - 1; j >= 1 && s[j] > tmp; j--) s[j + 1] = s[j]
                     s[j + 1] = tmp
                 }
                 k = int((m + 1) / 2)
                 return m % 2 ? s[k] : (s[k] + s[k + 1]) / 2
             }
             END { printf "%.6f %.6f %.6f\n", median("cp"), median("floor"), median("qm") }' "$1"
}

round_list=$(seq -s, 1 "$rounds")
printf '%-14s %9s %9s %9s %10s %8s\n' "input" "cp ms" "floor ms" "qm ms" "qm/floor" "qm/cp"
for name in "${inputs[@]}"; do
    src="$dir/inputs/$name.pdf"
    out="$work/out.pdf"
    stamped="$work/stamped.pdf"
    update="$work/update.bin"
    "$qm" "-i$src" "-o$stamped" -quiet -incremental || die "quillmark failed on $src"
    in_bytes=$(stat -c %s "$src")
    out_bytes=$(stat -c %s "$stamped")
    [ "$out_bytes" -gt "$in_bytes" ] || die "the update of $src is empty"
    tail -c "$((out_bytes - in_bytes))" "$stamped" >"$update"
    csv="$work/$name.csv"
    # The last parameter list varies slowest: each round runs cp, floor and qm once.
    if ! nice -n 5 hyperfine --style none --warmup 0 --runs 1 \
        -L what cp,floor,qm -L round "$round_list" --export-csv "$csv" \
        "case {what} in
             cp) cp '$src' '$out' ;;
             floor) cp '$src' '$out' && cat '$update' >>'$out' ;;
             qm) '$qm' '-i$src' '-o$out' -quiet -incremental ;;
         esac # {round}" >/dev/null; then
        die "hyperfine failed on $src"
    fi
    read -r cp_s floor_s qm_s < <(medians "$csv")
    awk -v n="$name" -v c="$cp_s" -v f="$floor_s" -v q="$qm_s" \
        'BEGIN { printf "%-14s %9.1f %9.1f %9.1f %10.2f %8.2f\n", n, c * 1000, f * 1000, q * 1000, q / f, q / c }'
done
