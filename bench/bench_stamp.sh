#!/usr/bin/env bash
# Stamping benchmark: times build/quillmark against cp of the same file, side by side.
#
#   bench/bench_stamp.sh [options]
#
# Builds bench/make_bench_inputs.cpp, writes its inputs once into a folder, and for each input
# times `quillmark -i<in> -o<out> -quiet` and `cp <in> <out>` in turns (one warm-up run each,
# then N timed runs each), and prints the medians, the ratio to cp, quillmark's peak memory
# (/usr/bin/time -v), the time per page, and whether the output passes `qpdf --check`, keeps the
# page count and carries the stamp on its last page. The 500 small files are stamped through
# one list file in one run, against 500 cp processes. Real PDF manuals from Debian's
# documentation packages are timed too when they are installed.
#
# It is a benchmark, not a test: it exits 0 whatever it measures, and non-zero only when it
# cannot set itself up (no compiler, no quillmark binary, a generator that does not build).

set -u
set -o pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
checkout=$(cd "$here/.." && pwd)

dir=/tmp/quillmark-bench
runs=5
qm="$checkout/build/quillmark"
install_manuals=0
self_test=0
regenerate=0
no_manuals=0
max_manuals=6
min_manual_bytes=5000000
extra_pdfs=()
manual_packages=(c++-annotations-pdf lilypond-doc-pdf)

usage() {
    cat <<EOF
usage: bench/bench_stamp.sh [options]

  --dir DIR          folder for the generator, inputs and outputs (default $dir)
  --runs N           timed runs of each command, medians are reported (default $runs)
  --quillmark PATH   the binary to time (default build/quillmark of this checkout)
  --pdf FILE         also time this PDF file (may be given more than once)
  --install-manuals  apt-get install ${manual_packages[*]} first
  --no-manuals       do not time the installed manuals
  --max-manuals N    time at most N installed manuals, the largest first (default $max_manuals)
  --regenerate       write the inputs again even when they are up to date
  --self-test        build the generator, write the inputs and check them with qpdf and
                     pdftotext; times nothing (exit status 1 when a check fails)
  -h, --help         this text
EOF
}

die() {
    echo "bench_stamp: $*" >&2
    exit 1
}

while [ $# -gt 0 ]; do
    case "$1" in
        --dir) [ $# -ge 2 ] || die "--dir needs a folder"; dir=$2; shift 2 ;;
        --dir=*) dir=${1#*=}; shift ;;
        --runs) [ $# -ge 2 ] || die "--runs needs a number"; runs=$2; shift 2 ;;
        --runs=*) runs=${1#*=}; shift ;;
        --quillmark) [ $# -ge 2 ] || die "--quillmark needs a path"; qm=$2; shift 2 ;;
        --quillmark=*) qm=${1#*=}; shift ;;
        --pdf) [ $# -ge 2 ] || die "--pdf needs a file"; extra_pdfs+=("$2"); shift 2 ;;
        --pdf=*) extra_pdfs+=("${1#*=}"); shift ;;
        --install-manuals) install_manuals=1; shift ;;
        --no-manuals) no_manuals=1; shift ;;
        --max-manuals) [ $# -ge 2 ] || die "--max-manuals needs a number"; max_manuals=$2; shift 2 ;;
        --max-manuals=*) max_manuals=${1#*=}; shift ;;
        --regenerate) regenerate=1; shift ;;
        --self-test) self_test=1; shift ;;
        -h|--help) usage; exit 0 ;;
        *) usage >&2; die "unknown option: $1" ;;
    esac
done

[[ "$runs" =~ ^[1-9][0-9]*$ ]] || die "--runs must be a positive number"
[[ "$max_manuals" =~ ^[0-9]+$ ]] || die "--max-manuals must be a number"

# ---------------------------------------------------------------------------------------------
# Set-up: tools, folders, the generator and its inputs.

apt_install() {
    # apt_install PACKAGE... : installs through apt-get (as root, or through sudo).
    local sudo=""
    if [ "$(id -u)" != 0 ]; then
        command -v sudo >/dev/null 2>&1 || return 1
        sudo="sudo"
    fi
    echo "bench_stamp: installing $*" >&2
    $sudo apt-get update -qq >/dev/null 2>&1 || true
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$@" >/dev/null
}

need() {
    # need COMMAND PACKAGE : makes sure COMMAND exists, installing PACKAGE when it does not.
    command -v "$1" >/dev/null 2>&1 && return 0
    apt_install "$2" || die "$1 is missing and package $2 could not be installed"
    command -v "$1" >/dev/null 2>&1 || die "$1 is still missing after installing $2"
}

need g++ g++
need qpdf qpdf
[ -x /usr/bin/time ] || apt_install time || die "/usr/bin/time is missing (Debian package time)"
[ -x /usr/bin/time ] || die "/usr/bin/time is missing (Debian package time)"
have_pdftotext=0
command -v pdftotext >/dev/null 2>&1 && have_pdftotext=1
[ -e /usr/include/zlib.h ] || apt_install zlib1g-dev || die "zlib's header is missing (Debian package zlib1g-dev)"

mkdir -p "$dir" || die "cannot create $dir"
dir=$(cd "$dir" && pwd)
in="$dir/inputs"
out="$dir/outputs"
logs="$dir/logs"
mkdir -p "$out" "$logs" || die "cannot create folders in $dir"

gen_src="$here/make_bench_inputs.cpp"
gen_bin="$dir/make_bench_inputs"
[ -f "$gen_src" ] || die "missing $gen_src"
gen_sum=$(sha256sum "$gen_src" | cut -d' ' -f1)

if [ "$regenerate" = 1 ] || [ ! -f "$in/.generator" ] || [ "$(cat "$in/.generator")" != "$gen_sum" ]; then
    echo "Building the input generator: $gen_bin"
    g++ -std=c++20 -O2 -Wall -Wextra -o "$gen_bin" "$gen_src" -lz ||
        die "the input generator does not build"
    echo "Writing the inputs into $in"
    rm -rf "$in"
    "$gen_bin" "$in" || die "the input generator failed"
    echo "$gen_sum" >"$in/.generator"
else
    echo "Inputs are up to date in $in (--regenerate writes them again)"
fi

# The generated documents: name and page count, as the generator lists them.
gen_names=()
declare -A gen_pages=()
while read -r name pages; do
    [ -n "$name" ] || continue
    gen_names+=("$name")
    gen_pages[$name]=$pages
done <"$in/inputs.txt"
[ ${#gen_names[@]} -gt 0 ] || die "$in/inputs.txt lists no documents"
small_count=$(grep -c . "$in/small/list.txt") || die "$in/small/list.txt is missing"

# qpdf_status FILE : prints ok, warnings or FAIL as qpdf --check judges FILE.
qpdf_status() {
    local rc
    qpdf --check "$1" >"$logs/qpdf-check.txt" 2>&1
    rc=$?
    case $rc in
        0) echo ok ;;
        3) echo warnings ;;
        *) echo FAIL ;;
    esac
}

# npages FILE : page count as qpdf sees it, or "?".
npages() {
    qpdf --show-npages "$1" 2>/dev/null || echo "?"
}

if [ "$self_test" = 1 ]; then
    echo
    echo "Self-test of the generated inputs"
    bad=0
    check_input() {
        # check_input FILE PAGES FIRST-LINE
        local f=$1 pages=$2 text=$3 st np first
        st=$(qpdf_status "$f")
        np=$(npages "$f")
        first=""
        if [ "$have_pdftotext" = 1 ]; then
            first=$(pdftotext -f 1 -l 1 "$f" - 2>/dev/null | head -1)
        fi
        local verdict=ok
        if [ "$st" != ok ]; then
            verdict="qpdf --check: $st"
            cat "$logs/qpdf-check.txt" >&2
        elif [ "$np" != "$pages" ]; then
            verdict="$np pages, expected $pages"
        elif [ "$have_pdftotext" = 1 ] && [ "$first" != "$text" ]; then
            verdict="first line '$first', expected '$text'"
        fi
        printf '  %-22s %6s pages  %s\n' "${f#"$in"/}" "$np" "$verdict"
        [ "$verdict" = ok ] || bad=1
    }
    for name in "${gen_names[@]}"; do
        p=${gen_pages[$name]}
        if [ "$name" = images.pdf ]; then
            check_input "$in/$name" "$p" "Plate 1"
        else
            check_input "$in/$name" "$p" "Chapter 1, section 1 of $p"
        fi
    done
    for i in 0 1 250 498 499; do
        check_input "$in/small/$(sed -n "$((i + 1))p" "$in/small/list.txt")" 3 "Chapter 1, section 1 of 3"
    done
    missing=0
    while read -r f; do
        [ -f "$in/small/$f" ] || missing=$((missing + 1))
    done <"$in/small/list.txt"
    if [ "$small_count" != 500 ] || [ "$missing" != 0 ]; then
        echo "  small/list.txt: $small_count names, $missing of them missing"
        bad=1
    else
        echo "  small/list.txt: 500 names, all present"
    fi
    [ "$have_pdftotext" = 1 ] || echo "  (pdftotext is not installed: the text was not checked)"
    if [ "$bad" = 0 ]; then
        echo "Self-test passed."
        exit 0
    fi
    echo "Self-test FAILED."
    exit 1
fi

case "$qm" in
    /*) ;;
    *) qm="$PWD/$qm" ;;
esac
[ -x "$qm" ] || die "no quillmark binary at $qm (build it first, or name one with --quillmark)"

if [ "$install_manuals" = 1 ]; then
    apt_install "${manual_packages[@]}" || echo "bench_stamp: could not install ${manual_packages[*]}" >&2
fi

# ---------------------------------------------------------------------------------------------
# Measuring.

elapsed_us=0
last_rc=0
log="$logs/run.txt"
: >"$log"

# timed CMD... : runs CMD once with its output in the log; sets elapsed_us and last_rc.
timed() {
    local t0 t1
    t0=${EPOCHREALTIME/[.,]/}
    "$@" >>"$log" 2>&1
    last_rc=$?
    t1=${EPOCHREALTIME/[.,]/}
    elapsed_us=$((t1 - t0))
}

# median VALUES... : the median, rounded down to whole units.
median() {
    local sorted n
    mapfile -t sorted < <(printf '%s\n' "$@" | sort -n)
    n=${#sorted[@]}
    if [ $((n % 2)) = 1 ]; then
        echo "${sorted[$((n / 2))]}"
    else
        echo $(((sorted[n / 2 - 1] + sorted[n / 2]) / 2))
    fi
}

# peak_kib CMD... : quillmark's maximum resident set size in KiB, from /usr/bin/time -v.
peak_kib() {
    /usr/bin/time -v -o "$logs/time-v.txt" "$@" >>"$log" 2>&1
    sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): *//p' "$logs/time-v.txt"
}

ms() { awk -v u="$1" 'BEGIN { printf "%.1f", u / 1000 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
mib() { awk -v k="$1" 'BEGIN { if (k == "") print "-"; else printf "%.1f", k / 1024 }'; }
size_mb() { awk -v b="$1" 'BEGIN { printf "%.1f MB", b / 1000000 }'; }

# Results, one entry per row.
rows=()          # printed table rows
floor_notes=()   # the floor of each incremental row
declare -A r_qm=() r_cp=() r_peak=() r_ok=() r_objstm=() r_kind=()

# has_objstm FILE : true when FILE keeps objects in object streams.
has_objstm() { LC_ALL=C grep -aq '/ObjStm' "$1"; }

# stamp_seen FILE PAGES : true when the last page shows "Page PAGES / PAGES" (default stamp).
stamp_seen() {
    [ "$have_pdftotext" = 1 ] || return 0
    pdftotext -f "$2" -l "$2" "$1" - 2>/dev/null | tr -s ' \n' '  ' | grep -qF "Page $2 / $2"
}

# floor_update SRC DEST UPDATE_BYTES STAMPED : the least an update can cost: a copy of SRC and
# the last UPDATE_BYTES of STAMPED (already in the page cache) appended to it.
# shellcheck disable=SC2317  # called through timed
floor_update() {
    cp "$1" "$2" && tail -c "$3" "$4" >>"$2"
}

# bench_file LABEL KIND FILE [OPTION...] : times one document (with the options given to
# quillmark after -quiet) and adds its row. With -incremental the floor is timed as well.
bench_file() {
    local label=$1 kind=$2 src=$3
    shift 3
    local opts=("$@")
    local o_qm="$out/qm-$label" o_cp="$out/cp-$label"
    local bytes pages cps=() qms=() floors=() i cp_med qm_med peak check np st update=0
    bytes=$(stat -c %s "$src")
    pages=$(npages "$src")
    echo "  $label ($(size_mb "$bytes"), $pages pages)"
    r_kind[$label]=$kind
    if has_objstm "$src"; then r_objstm[$label]=1; else r_objstm[$label]=0; fi

    # Warm-up: brings the input into the page cache and shows whether the run works at all.
    rm -f "$o_qm" "$o_cp"
    timed cp "$src" "$o_cp"
    timed "$qm" "-i$src" "-o$o_qm" -quiet "${opts[@]}"
    if [ "$last_rc" != 0 ]; then
        rm -f "$o_cp"
        rows+=("| $label | $(size_mb "$bytes") | $pages | - | - | - | - | - | quillmark exit status $last_rc |")
        r_ok[$label]=0
        return
    fi
    [ "$kind" = incremental ] && update=$(($(stat -c %s "$o_qm") - bytes))
    local o_floor="$out/floor-$label" stamped="$out/stamped-$label"
    [ "$kind" = incremental ] && cp "$o_qm" "$stamped"
    for ((i = 0; i < runs; i++)); do
        rm -f "$o_cp"
        timed cp "$src" "$o_cp"
        cps+=("$elapsed_us")
        rm -f "$o_qm"
        timed "$qm" "-i$src" "-o$o_qm" -quiet "${opts[@]}"
        qms+=("$elapsed_us")
        if [ "$kind" = incremental ]; then
            rm -f "$o_floor"
            timed floor_update "$src" "$o_floor" "$update" "$stamped"
            floors+=("$elapsed_us")
        fi
    done
    cp_med=$(median "${cps[@]}")
    qm_med=$(median "${qms[@]}")
    rm -f "$o_qm" "$o_floor" "$stamped"
    peak=$(peak_kib "$qm" "-i$src" "-o$o_qm" -quiet "${opts[@]}")
    if [ "$kind" = incremental ]; then
        local floor_med
        floor_med=$(median "${floors[@]}")
        floor_notes+=("$label: update $(size_mb "$update"); floor (cp + appending it) $(ms "$floor_med") ms = $(ratio "$floor_med" "$cp_med") x cp; quillmark $(ratio "$qm_med" "$floor_med") x the floor")
        # The input must be a byte prefix of the output.
        cmp -s -n "$bytes" "$src" "$o_qm" || check_prefix=" input not a prefix"
    fi

    st=$(qpdf_status "$o_qm")
    np=$(npages "$o_qm")
    check=$st${check_prefix:-}
    check_prefix=
    if [ "$np" != "$pages" ]; then
        check="$check, $np pages"
    elif ! stamp_seen "$o_qm" "$pages"; then
        check="$check, no stamp"
    fi
    [ "$check" = ok ] && r_ok[$label]=1 || r_ok[$label]=0
    r_qm[$label]=$qm_med
    r_cp[$label]=$cp_med
    r_peak[$label]=$peak
    local per_page="-"
    [[ "$pages" =~ ^[0-9]+$ ]] && [ "$pages" -gt 0 ] &&
        per_page=$(awk -v u="$qm_med" -v p="$pages" 'BEGIN { printf "%.4f", u / 1000 / p }')
    rows+=("| $label | $(size_mb "$bytes") | $pages | $(ms "$cp_med") | $(ms "$qm_med") | $(ratio "$qm_med" "$cp_med") | $(mib "$peak") | $per_page | $check |")
    rm -f "$o_cp"
}

# The list: 500 small files in one quillmark run against 500 cp processes.
# shellcheck disable=SC2317  # called through timed
cp_each() {
    local f
    while read -r f; do
        cp "$f" "$1/$f"
    done <list.txt
}

bench_list() {
    local label="small/list.txt"
    local o_qm="$out/list-qm" o_cp="$out/list-cp"
    local bytes pages cps=() qms=() i cp_med qm_med peak bad=0 n=0 f st np
    bytes=$(cat "$in"/small/*.pdf | wc -c)
    pages=$((small_count * 3))
    echo "  $label ($small_count files, $(size_mb "$bytes"))"
    r_kind[$label]=list
    r_objstm[$label]=0
    cd "$in/small" || die "cannot enter $in/small"
    rm -rf "$o_qm" "$o_cp"
    mkdir -p "$o_cp"
    timed cp_each "$o_cp"
    timed "$qm" -ilist.txt "-f$o_qm" -quiet
    if [ "$last_rc" != 0 ]; then
        cd "$checkout" || true
        rm -rf "$o_cp"
        rows+=("| $label | $(size_mb "$bytes") | $pages | - | - | - | - | - | quillmark exit status $last_rc |")
        r_ok[$label]=0
        return
    fi
    for ((i = 0; i < runs; i++)); do
        rm -rf "$o_cp"
        mkdir -p "$o_cp"
        timed cp_each "$o_cp"
        cps+=("$elapsed_us")
        rm -rf "$o_qm"
        timed "$qm" -ilist.txt "-f$o_qm" -quiet
        qms+=("$elapsed_us")
    done
    rm -rf "$o_qm"
    peak=$(peak_kib "$qm" -ilist.txt "-f$o_qm" -quiet)
    cd "$checkout" || true
    cp_med=$(median "${cps[@]}")
    qm_med=$(median "${qms[@]}")

    while read -r f; do
        n=$((n + 1))
        st=$(qpdf_status "$o_qm/$f")
        np=$(npages "$o_qm/$f")
        if [ "$st" != ok ] || [ "$np" != 3 ]; then
            bad=$((bad + 1))
        fi
    done <"$in/small/list.txt"
    # The stamp on the last page of the first and the last file.
    if ! stamp_seen "$o_qm/$(head -1 "$in/small/list.txt")" 3 ||
        ! stamp_seen "$o_qm/$(tail -1 "$in/small/list.txt")" 3; then
        bad=$((bad + 1))
    fi
    local check="ok ($n files)"
    [ "$bad" = 0 ] || check="$bad of $n files FAIL"
    [ "$bad" = 0 ] && r_ok[$label]=1 || r_ok[$label]=0
    r_qm[$label]=$qm_med
    r_cp[$label]=$cp_med
    r_peak[$label]=$peak
    list_files_per_s=$(awk -v n="$small_count" -v u="$qm_med" 'BEGIN { printf "%.0f", n / (u / 1000000) }')
    list_cp_files_per_s=$(awk -v n="$small_count" -v u="$cp_med" 'BEGIN { printf "%.0f", n / (u / 1000000) }')
    rows+=("| $label ($small_count files) | $(size_mb "$bytes") | $pages | $(ms "$cp_med") | $(ms "$qm_med") | $(ratio "$qm_med" "$cp_med") | $(mib "$peak") | $(awk -v u="$qm_med" -v p="$pages" 'BEGIN { printf "%.4f", u / 1000 / p }') | $check |")
    rm -rf "$o_cp"
}

# Real manuals from Debian's documentation packages, the largest first.
manuals=()
manual_note=""
find_manuals() {
    local pkg f listed=() base dest
    for pkg in "${manual_packages[@]}"; do
        while IFS= read -r f; do
            [ -f "$f" ] && listed+=("$f")
        done < <(dpkg -L "$pkg" 2>/dev/null | grep -E '\.pdf(\.gz)?$')
    done
    if [ ${#listed[@]} = 0 ]; then
        manual_note="No real manuals timed: none of ${manual_packages[*]} is installed (--install-manuals installs them)."
        return
    fi
    mkdir -p "$dir/manuals"
    local sized=()
    for f in "${listed[@]}"; do
        base=$(basename "$f")
        if [[ "$f" == *.gz ]]; then
            dest="$dir/manuals/${base%.gz}"
            if [ ! -f "$dest" ] || [ "$f" -nt "$dest" ]; then
                if ! gunzip -c "$f" >"$dest.part" || ! mv "$dest.part" "$dest"; then
                    rm -f "$dest.part"
                    continue
                fi
            fi
            f=$dest
        fi
        sized+=("$(stat -c %s "$f") $f")
    done
    local count=0 line
    while IFS= read -r line; do
        [ "$count" -lt "$max_manuals" ] || break
        [ "${line%% *}" -ge "$min_manual_bytes" ] || break
        manuals+=("${line#* }")
        count=$((count + 1))
    done < <(printf '%s\n' "${sized[@]}" | sort -rn)
    if [ ${#manuals[@]} = 0 ]; then
        manual_note="No real manuals timed: the installed ones are all smaller than $((min_manual_bytes / 1000000)) MB."
    else
        manual_note="Real manuals: ${#manuals[@]} PDF file(s) of at least $((min_manual_bytes / 1000000)) MB, the largest first, from the installed ${manual_packages[*]}."
    fi
}

if [ "$no_manuals" = 1 ]; then
    manual_note="Real manuals not timed (--no-manuals)."
else
    find_manuals
fi

echo
echo "Quillmark stamping benchmark"
echo "  binary:  $qm ($("$qm" --version 2>/dev/null | tr -d '\r' | head -1))"
echo "  machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"
echo "  load:    $(cut -d' ' -f1-3 /proc/loadavg) (other work on the machine makes the figures noisy)"
echo "  runs:    $runs timed runs of each command after one warm-up, medians; cp and quillmark in turns"
echo "  folder:  $dir"
echo
echo "Timing:"
for name in "${gen_names[@]}"; do
    bench_file "$name" generated "$in/$name"
done
bench_list
for f in "${manuals[@]}"; do
    bench_file "$(basename "$f")" real "$f"
done
for f in "${extra_pdfs[@]}"; do
    if [ -f "$f" ]; then
        bench_file "$(basename "$f")" real "$f"
    else
        echo "  $f: no such file, skipped"
    fi
done
# The incremental update: the 20,000-page documents, the image document and the manuals.
incremental_labels=()
for f in "$in/text-20000.pdf" "$in/objstm-20000.pdf" "$in/images.pdf" "${manuals[@]}"; do
    [ -f "$f" ] || continue
    incremental_labels+=("$(basename "$f") -incremental")
    bench_file "$(basename "$f") -incremental" incremental "$f" -incremental
done

echo
echo "| input | size | pages | cp ms | quillmark ms | ratio | peak MiB | ms/page | check |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---|"
printf '%s\n' "${rows[@]}"
echo
[ -n "${list_files_per_s:-}" ] &&
    echo "List: $small_count files in one run: $list_files_per_s files/s (500 cp processes: $list_cp_files_per_s files/s)."
echo "$manual_note"
echo "Check: qpdf --check of the output, the same page count as the input, and (with pdftotext) \"Page n / n\" on the last page; for -incremental also the input as a byte prefix of the output."
[ ${#floor_notes[@]} -gt 0 ] && printf 'Incremental %s\n' "${floor_notes[@]}"

# ---------------------------------------------------------------------------------------------
# The targets.

echo
echo "Targets:"
verdict() { if [ "$1" = 1 ]; then echo met; else echo MISSED; fi; }
le() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a <= b) }'; }

order=("${gen_names[@]}" "small/list.txt")
for f in "${manuals[@]}" "${extra_pdfs[@]}"; do order+=("$(basename "$f")"); done
order+=("${incremental_labels[@]}")
for label in "${order[@]}"; do
    [ -n "${r_qm[$label]:-}" ] || continue
    [ "${r_kind[$label]}" = list ] && continue
    limit=3
    what="at most 3 x cp"
    if [ "${r_kind[$label]}" = incremental ]; then
        # A generated 20,000-page document rewrites every page in its update.
        case "$label" in
            text-20000.pdf*|objstm-20000.pdf*) limit=2; what="at most 2 x cp (update)" ;;
            *) limit=1.3; what="at most 1.3 x cp (update)" ;;
        esac
    elif [ "${r_objstm[$label]}" = 1 ]; then
        limit=5
        what="at most 5 x cp (object streams)"
    fi
    q=$(ratio "${r_qm[$label]}" "${r_cp[$label]}")
    ok=0
    le "${r_qm[$label]}" "$(awk -v l="$limit" -v c="${r_cp[$label]}" 'BEGIN { printf "%d", l * c }')" && ok=1
    printf '  %-34s %-32s %6s x   %s\n' "$label" "$what" "$q" "$(verdict $ok)"
done
if [ -n "${list_files_per_s:-}" ]; then
    ok=0
    [ "$list_files_per_s" -ge 2000 ] && ok=1
    printf '  %-34s %-32s %6s/s   %s\n' "small/list.txt" "at least 2000 files/s" "$list_files_per_s" "$(verdict $ok)"
fi
worst=0
worst_label=""
for label in "${order[@]}"; do
    p=${r_peak[$label]:-}
    [ -n "$p" ] || continue
    if [ "$p" -gt "$worst" ]; then worst=$p; worst_label=$label; fi
done
if [ -n "$worst_label" ]; then
    ok=0
    [ "$worst" -lt $((32 * 1024)) ] && ok=1
    printf '  %-34s %-32s %6s MiB %s\n' "peak memory (worst: $worst_label)" "below 32 MiB on every input" "$(mib "$worst")" "$(verdict $ok)"
fi
for kind in text objstm; do
    a=${r_qm[$kind-2000.pdf]:-}
    b=${r_qm[$kind-20000.pdf]:-}
    if [ -n "$a" ] && [ -n "$b" ]; then
        ok=0
        le "$b" "$((11 * a))" && ok=1
        printf '  %-34s %-32s %6s x   %s\n' "$kind-20000 / $kind-2000" "at most 11 x (linear in pages)" "$(ratio "$b" "$a")" "$(verdict $ok)"
    fi
done
bad_outputs=0
for label in "${order[@]}"; do
    [ "${r_ok[$label]:-1}" = 1 ] || bad_outputs=$((bad_outputs + 1))
done
if [ "$bad_outputs" = 0 ]; then
    echo "  every output passed its check"
else
    echo "  $bad_outputs input(s) gave an output that failed its check: their times do not count"
fi
echo
echo "Logs of the last runs: $logs"
exit 0
