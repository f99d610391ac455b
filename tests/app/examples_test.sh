#!/usr/bin/env bash
# The scripts of examples/ run as a user would run them, on a copy of the folder: each ends with
# status 0, writes the documents it names, and every output is a clean PDF that shows its stamp.
#
#   tests/app/examples_test.sh <quillmark> <examples folder>
set -euo pipefail

quillmark="$1" examples="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

cp -r "$examples" "$work/examples"
rm -rf "$work/examples/out"
for script in test list list_complex; do
    if ! QUILLMARK="$quillmark" sh "$work/examples/$script.sh" > "$work/$script.log" 2>&1; then
        fail "$script.sh ended with a failure"
        cat "$work/$script.log"
    fi
done

out="$work/examples/out"
expected="accounts/a.pdf accounts/b.pdf bates/a.pdf bates/b.pdf caption.pdf default.pdf
first.pdf list/a.pdf list/b.pdf list/c.pdf numbered/a.pdf numbered/b.pdf numbered/c.pdf
roman.pdf second.pdf two.pdf watermark.pdf words.pdf"
for name in $expected; do
    [ -f "$out/$name" ] || { fail "no output $name"; continue; }
    if command -v qpdf > /dev/null && ! qpdf --check "$out/$name" > /dev/null 2>&1; then
        fail "qpdf finds $name damaged"
    fi
done

# What a few of them show: the counter carried from one run and one document to the next, the
# list's own text and start numbers.
if command -v pdftotext > /dev/null; then
    shows() {
        pdftotext "$out/$1" - 2> /dev/null | grep -qx -- "$2" || fail "$1 does not show '$2'"
    }
    shows second.pdf "Page 4"
    shows numbered/b.pdf "Page 4"
    shows accounts/b.pdf "ACCOUNT 5678 / Box 9"
    shows bates/b.pdf ABC000202
fi

if [ "$failures" -ne 0 ]; then
    echo "examples_test.sh: $failures failures"
    exit 1
fi
echo "examples_test.sh: every example ran"
