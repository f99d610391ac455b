#!/usr/bin/env bash
# The README's scale-out recipes. A list file cut into slices with split, one quillmark run per
# slice through xargs -P 2: every file is stamped once, a failed file gives status 1 while the
# other slice still finishes, and the output folder never holds a partial or temporary file.
# A planned Bates production cut into 4 slices and stamped by xargs -P 4: every output is the
# sequential run's, byte for byte (frozen clock, when faketime is there), the slices' logs
# together are its log, and a document that fails in the plan fails in its slice with the same
# cause while the rest of the slice goes on.
#
#   tests/app/scale_out_test.sh <quillmark> <make_sample_pdf> [<corpus folder>]
set -euo pipefail

quillmark="$1" make_sample="$2" corpus="${3:-}"
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

# The planned production. Twelve documents: corpus files of several producers where the corpus
# is there, three-page samples otherwise, and one that fails, placed so that its slice has
# documents after it.
mkdir production && cd production
printf 'not a PDF\n' >broken.pdf
echo broken.pdf >list.txt
for file in pypdf-samples/004-pdflatex-4-pages_pdflatex-4-pages.pdf \
    pypdf-samples/007-imagemagick-images_imagemagick-images.pdf \
    pypdf-samples/015-arabic_habibi-rotated.pdf qpdf-tests/11-pages-with-labels.pdf \
    qpdf-tests/boxes2.pdf qpdf-tests/V4.pdf qpdf-tests/append-page-content-damaged.pdf; do
    if [ -n "$corpus" ] && [ -f "$corpus/$file" ]; then
        cp "$corpus/$file" .
        basename "$file" >>list.txt
    fi
done
while [ "$(wc -l <list.txt)" -lt 12 ]; do
    n=$(wc -l <list.txt)
    "$make_sample" "sample $n.pdf" >/dev/null
    echo "sample $n.pdf" >>list.txt
done
clock=()
command -v faketime >/dev/null && clock=(faketime -f '2026-01-02 03:04:05')
# A sanitizer build refuses to start under faketime's preloaded library: its outputs are then
# checked without the frozen clock (the byte comparison is the Release build's).
if [ ${#clock[@]} -gt 0 ] && ! "${clock[@]}" "$quillmark" --version >/dev/null 2>&1; then
    clock=()
fi
bates=(-prefix ABC -m7 -one -sep "" -s2 -rename "ABC[PAGESTART]-ABC[PAGEEND].pdf" -quiet)

printf 1000 >counter.txt
"${clock[@]}" "$quillmark" -ilist.txt -fout -import counter.txt -export counter.txt "${bates[@]}" \
    -log sequential.csv -keepgoing >sequential.out 2>&1 || true
sequential_counter=$(cat counter.txt)
mv out sequential

printf 1000 >counter.txt
status=0
"$quillmark" -ilist.txt -fout -plan plan.csv -import counter.txt -export counter.txt \
    "${bates[@]}" >plan.out 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "plan with a broken file: status $status, want 1"
[ "$(cat counter.txt)" = "$sequential_counter" ] ||
    fail "counter after the plan $(cat counter.txt), after the sequential run $sequential_counter"
[ ! -e out ] || fail "the plan made the output folder"

# The README's slices: the plan's rows dealt out to 4 slices, each with the header row.
tail -n +2 plan.csv | split -n r/4 -d --additional-suffix=.csv \
    --filter='{ head -n 1 plan.csv; cat; } > "$FILE"' - slice-
[ "$(ls slice-*.csv | wc -l)" -eq 4 ] || fail "split did not make 4 slices"
status=0
printf '%s\n' slice-*.csv | "${clock[@]}" xargs -P 4 -I{} "$quillmark" -i{} -fout -listdelim , \
    -liststartcol 1 "${bates[@]}" -log {}.log -keepgoing >slices.out 2>&1 || status=$?
[ "$status" -eq 123 ] || fail "slices with a broken file: xargs status $status, want 123"
awk 'FNR > 1 || NR == 1' slice-*.csv.log >parallel.csv

[ "$(ls sequential | wc -l)" -eq 11 ] || fail "the sequential run stamped $(ls sequential | wc -l) of 11"
for output in sequential/*; do
    name=${output#sequential/}
    if [ ! -f "out/$name" ]; then
        fail "the slices did not make $name"
    elif [ ${#clock[@]} -gt 0 ] && ! cmp -s "$output" "out/$name"; then
        fail "$name differs from the sequential run's"
    fi
done
[ "$(ls out | wc -l)" -eq 11 ] || fail "out/ holds other files: $(ls out)"
[ "$(head -n 1 parallel.csv)" = "$(head -n 1 sequential.csv)" ] || fail "the logs' headers differ"
diff <(tail -n +2 sequential.csv | sed 's#,sequential/#,out/#' | sort) \
    <(tail -n +2 parallel.csv | sort) >logs.diff || fail "the slices' logs are not the sequential log: $(cat logs.diff)"
plan_cause=$(grep '^broken.pdf,' plan.csv | sed 's/^broken\.pdf,[-0-9]*,,,,,,,//')
slice_cause=$(grep '^broken.pdf,' parallel.csv | sed 's/^broken\.pdf,,failed,,,,,,,,,//')
[ -n "$plan_cause" ] && [ "$plan_cause" = "$slice_cause" ] ||
    fail "broken.pdf: the plan's cause '$plan_cause', the slice's '$slice_cause'"
cd ..

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "scale-out recipe: 2 slices, 7 files; a broken file gives status 1;" \
    "a planned production of 12 documents on 4 workers as the sequential run"
