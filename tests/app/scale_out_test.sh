#!/usr/bin/env bash
# The README's scale-out recipe on 2 workers: a list file cut into slices with split, one
# quillmark run per slice through xargs -P 2. Checks that every file is stamped once, that a
# failed file gives status 1 while the other slice still finishes, and that the output folder
# never holds a partial or temporary file.
#
#   tests/app/scale_out_test.sh <quillmark> <make_sample_pdf>
set -euo pipefail

quillmark="$1" make_sample="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The recipe as the README gives it, with the program's path: every worker gets every 2nd line.
stamp_in_slices() {
    local list="$1" out="$2"
    rm -f slice-*.txt
    split -n r/2 -d --additional-suffix=.txt "$list" slice-
    printf '%s\n' slice-*.txt | xargs -P 2 -I{} "$quillmark" -i{} -f"$out" -quiet || return 1
}

cd "$work"
for n in 1 2 3 4 5 6 7; do
    "$make_sample" "doc $n.pdf" >/dev/null
done
ls doc*.pdf >list.txt

# Every file stamped, once, in one run.
status=0
stamp_in_slices list.txt out >run.log 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "clean list: status $status, want 0 ($(cat run.log))"
[ "$(ls slice-*.txt | wc -l)" -eq 2 ] || fail "split did not make 2 slices"
[ "$(cat slice-*.txt | sort)" = "$(sort list.txt)" ] || fail "the slices do not cover the list once"
for n in 1 2 3 4 5 6 7; do
    out="out/doc $n.pdf"
    if [ ! -s "$out" ]; then
        fail "not stamped: $out"
    elif command -v pdftotext >/dev/null; then
        text=$(pdftotext -f 2 -l 2 "$out" - 2>/dev/null || true)
        [[ $text == *"Page 2 / 3"* ]] || fail "$out: page 2 does not show 'Page 2 / 3'"
    fi
done
[ "$(ls -A out | wc -l)" -eq 7 ] || fail "out/ holds other files: $(ls -A out)"

# One broken file: status 1; the slice without it is complete; no partial output anywhere.
printf 'not a PDF\n' >"doc 4.pdf"
rm -rf out
status=0
stamp_in_slices list.txt out >run.log 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "list with a broken file: status $status, want 1"
[ ! -e "out/doc 4.pdf" ] || fail "the broken file left an output"
broken_slice=$(grep -l "doc 4.pdf" slice-*.txt)
for slice in slice-*.txt; do
    [ "$slice" = "$broken_slice" ] && continue
    while IFS= read -r name; do
        [ -s "out/$name" ] || fail "$name of the good slice $slice was not stamped"
    done <"$slice"
done
leftovers=$(find out -type f ! -name 'doc [0-9].pdf')
[ -z "$leftovers" ] || fail "temporary files left in out/: $leftovers"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "scale-out recipe: 2 slices, 7 files; a broken file gives status 1"
