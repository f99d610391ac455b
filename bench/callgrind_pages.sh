#!/usr/bin/env bash
# Instructions per page: runs a quillmark binary under callgrind on the benchmark's generated
# 20,000-page documents (text pages, and the same pages in object streams), once as a full
# rewrite and once with -incremental, and prints the instructions each case takes per page.
#
#   bench/callgrind_pages.sh [options] [QUILLMARK]
#
# Builds nothing: QUILLMARK (default build/quillmark of this checkout) is run as it is, and the
# inputs must already exist (bench/bench_stamp.sh --self-test writes them). Instruction counts
# do not move with the machine's load as wall times do, so builds can be compared on a busy
# machine. Only instructions are counted (no cache simulation). Each case takes about half a
# minute under callgrind; the runs go one at a time, at a lower priority.
#
# It is a benchmark, not a test: it exits 0 whatever it measures, and non-zero only when it
# cannot run (no valgrind, no binary, no inputs, a run that fails).

set -u
set -o pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
checkout=$(cd "$here/.." && pwd)

dir=/tmp/quillmark-bench
qm="$checkout/build/quillmark"
keep=0
pages=20000
inputs=(text objstm)

usage() {
    cat <<EOF
usage: bench/callgrind_pages.sh [options] [QUILLMARK]

  --dir DIR    benchmark folder holding inputs/ (default $dir)
  --keep DIR   keep the callgrind.out files in DIR, for callgrind_annotate
  --pages N    use the N-page inputs (2000 or 20000, default $pages)
  -h, --help   this text
EOF
}

die() {
    echo "callgrind_pages: $*" >&2
    exit 1
}

keep_dir=
while [ $# -gt 0 ]; do
    case "$1" in
        --dir) [ $# -ge 2 ] || die "--dir needs a folder"; dir=$2; shift 2 ;;
        --keep) [ $# -ge 2 ] || die "--keep needs a folder"; keep=1; keep_dir=$2; shift 2 ;;
        --pages) [ $# -ge 2 ] || die "--pages needs a number"; pages=$2; shift 2 ;;
        -h|--help) usage; exit 0 ;;
        -*) usage >&2; die "unknown option: $1" ;;
        *) qm=$1; shift ;;
    esac
done

[[ "$pages" =~ ^(2000|20000)$ ]] || die "--pages must be 2000 or 20000"
command -v valgrind >/dev/null || die "valgrind is not installed (Debian package valgrind)"
[ -x "$qm" ] || die "no executable $qm"
for kind in "${inputs[@]}"; do
    [ -f "$dir/inputs/$kind-$pages.pdf" ] ||
        die "no $dir/inputs/$kind-$pages.pdf (bench/bench_stamp.sh --self-test writes it)"
done

work=$(mktemp -d /tmp/callgrind-pages.XXXXXX)
trap 'rm -rf "$work"' EXIT
if [ "$keep" = 1 ]; then
    mkdir -p "$keep_dir" || die "cannot make $keep_dir"
fi

printf '%-28s %16s %14s\n' "case" "instructions" "per page"
for kind in "${inputs[@]}"; do
    for mode in rewrite incremental; do
        src="$dir/inputs/$kind-$pages.pdf"
        out="$work/out.pdf"
        opts=()
        [ "$mode" = incremental ] && opts=(-incremental)
        cg="$work/callgrind.out"
        rm -f "$out" "$cg"
        if ! nice -n 10 valgrind --tool=callgrind --cache-sim=no --branch-sim=no \
            --callgrind-out-file="$cg" "$qm" "-i$src" "-o$out" -quiet "${opts[@]}" \
            >"$work/log" 2>&1; then
            cat "$work/log" >&2
            die "the run on $src ($mode) failed"
        fi
        # The total sits on the "summary:" line (older valgrind) or "totals:" line.
        total=$(awk '/^(summary|totals):/ { print $2; exit }' "$cg")
        [[ "$total" =~ ^[0-9]+$ ]] || die "no instruction count in $cg"
        printf '%-28s %16d %14d\n' "$kind, $mode" "$total" $(((total + pages / 2) / pages))
        [ "$keep" = 1 ] && cp "$cg" "$keep_dir/callgrind.$kind-$mode.out"
    done
done
exit 0
