#!/usr/bin/env bash
# Writes benchmark inputs made by producers other than the benchmark's own generator:
# ReportLab text documents (python3-reportlab) at the page counts asked, and qpdf's object-stream
# form of each (--object-streams=generate). Counts above 20,000 are made by joining the
# 20,000-page document with itself (qpdf --pages), as a large document of one producer would be.
#
#   bench/make_producer_inputs.sh [--dir DIR] [PAGES...]     (default: 2000 20000 100000)
#
# Writes DIR/reportlab-text-N.pdf and DIR/reportlab-objstm-N.pdf (default DIR
# /tmp/quillmark-bench/producers). Existing files are kept. Debian's python3 is used, where
# python3-reportlab is installed, whatever python3 comes first on the PATH.

set -eu
set -o pipefail

dir=/tmp/quillmark-bench/producers
if [ $# -ge 2 ] && [ "$1" = --dir ]; then
    dir=$2
    shift 2
fi
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(2000 20000 100000)

die() {
    echo "make_producer_inputs: $*" >&2
    exit 1
}

command -v qpdf >/dev/null || die "qpdf is not installed"
/usr/bin/python3 -c 'import reportlab' 2>/dev/null || die "python3-reportlab is not installed"
mkdir -p "$dir"

reportlab() { # pages out
    /usr/bin/python3 - "$1" "$2" <<'PY'
import sys
from reportlab.lib.pagesizes import A4
from reportlab.pdfgen import canvas

pages, out = int(sys.argv[1]), sys.argv[2]
c = canvas.Canvas(out, pagesize=A4, pageCompression=1, invariant=1)
for n in range(1, pages + 1):
    c.setFont("Helvetica", 11)
    for line in range(6):
        c.drawString(72, 770 - 16 * line, "Page %d, line %d: the quick brown fox jumps over the lazy dog." % (n, line + 1))
    c.showPage()
c.save()
PY
}

base=20000
for pages in "${counts[@]}"; do
    [[ "$pages" =~ ^[0-9]+$ ]] || die "not a page count: $pages"
    text="$dir/reportlab-text-$pages.pdf"
    if [ ! -f "$text" ]; then
        if [ "$pages" -le "$base" ]; then
            reportlab "$pages" "$text.tmp"
        else
            [ $((pages % base)) -eq 0 ] || die "$pages is no multiple of $base"
            [ -f "$dir/reportlab-text-$base.pdf" ] || reportlab "$base" "$dir/reportlab-text-$base.pdf"
            parts=()
            for ((k = 0; k < pages / base; ++k)); do
                parts+=("$dir/reportlab-text-$base.pdf")
            done
            qpdf --empty --pages "${parts[@]}" -- "$text.tmp"
        fi
        mv "$text.tmp" "$text"
    fi
    objstm="$dir/reportlab-objstm-$pages.pdf"
    if [ ! -f "$objstm" ]; then
        qpdf --object-streams=generate "$text" "$objstm.tmp"
        mv "$objstm.tmp" "$objstm"
    fi
    echo "$text $objstm"
done
