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
# Beside the instructions it prints how many times the run decoded an object stream (the calls
# callgrind counted into the reader's object-stream decoder) against the object streams the
# file has: 1.0 a stream is each decoded once. --pdf adds other documents (for example those of
# bench/make_producer_inputs.sh); their page counts come from qpdf.
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
  --pdf FILE   also measure this document (may be given more than once)
  --only-pdf   measure only the documents given with --pdf
  -h, --help   this text
EOF
}

die() {
    echo "callgrind_pages: $*" >&2
    exit 1
}

keep_dir=
extra=()
only_pdf=0
while [ $# -gt 0 ]; do
    case "$1" in
        --dir) [ $# -ge 2 ] || die "--dir needs a folder"; dir=$2; shift 2 ;;
        --keep) [ $# -ge 2 ] || die "--keep needs a folder"; keep=1; keep_dir=$2; shift 2 ;;
        --pages) [ $# -ge 2 ] || die "--pages needs a number"; pages=$2; shift 2 ;;
        --pdf) [ $# -ge 2 ] || die "--pdf needs a file"; extra+=("$2"); shift 2 ;;
        --only-pdf) only_pdf=1; shift ;;
        -h|--help) usage; exit 0 ;;
        -*) usage >&2; die "unknown option: $1" ;;
        *) qm=$1; shift ;;
    esac
done

[[ "$pages" =~ ^(2000|20000)$ ]] || die "--pages must be 2000 or 20000"
command -v valgrind >/dev/null || die "valgrind is not installed (Debian package valgrind)"
[ -x "$qm" ] || die "no executable $qm"
cases=()
if [ "$only_pdf" = 0 ]; then
    for kind in "${inputs[@]}"; do
        [ -f "$dir/inputs/$kind-$pages.pdf" ] ||
            die "no $dir/inputs/$kind-$pages.pdf (bench/bench_stamp.sh --self-test writes it)"
        cases+=("$dir/inputs/$kind-$pages.pdf")
    done
fi
for file in "${extra[@]}"; do
    [ -f "$file" ] || die "no $file"
    cases+=("$file")
done

work=$(mktemp -d /tmp/callgrind-pages.XXXXXX)
trap 'rm -rf "$work"' EXIT
if [ "$keep" = 1 ]; then
    mkdir -p "$keep_dir" || die "cannot make $keep_dir"
fi

# Calls into CPdfXRef::loadObjectStream in a callgrind file: callgrind names a function once
# as "(id) name" and by "(id)" alone afterwards; each call site's count follows on "calls=".
decodes() {
    local id
    id=$(grep -o -m1 'cfn=([0-9]*) CPdfXRef::loadObjectStream' "$1" | grep -o '([0-9]*)')
    [ -n "$id" ] || { echo 0; return; }
    awk -v site="cfn=$id" 'index($0, site) == 1 { getline; if ($0 ~ /^calls=/) {
        split($0, a, /[= ]/); n += a[2] } } END { print n + 0 }' "$1"
}

printf '%-40s %16s %10s %14s\n' "case" "instructions" "per page" "decodes/streams"
for src in "${cases[@]}"; do
    if [ "$only_pdf" = 0 ] && [[ "$src" == "$dir/inputs/"* ]]; then
        n=$pages
    else
        command -v qpdf >/dev/null || die "qpdf is needed for the page count of $src"
        n=$(qpdf --show-npages "$src") || die "qpdf cannot count the pages of $src"
    fi
    streams=$(grep -a -o '/Type */ObjStm' "$src" | wc -l)
    for mode in rewrite incremental; do
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
        name=$(basename "$src" .pdf)
        printf '%-40s %16d %10d %14s\n' "$name, $mode" "$total" $(((total + n / 2) / n)) \
            "$(decodes "$cg")/$streams"
        [ "$keep" = 1 ] && cp "$cg" "$keep_dir/callgrind.$name-$mode.out"
    done
done
exit 0
