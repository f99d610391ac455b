#!/bin/sh
# One document, stamped in several ways: each run reads sample.pdf (three A4 pages) and writes
# its own file into out/. Run it from anywhere; QUILLMARK names the program when it is not on
# the PATH (QUILLMARK=../build/quillmark sh test.sh).
set -e
cd "$(dirname "$0")"
qm=${QUILLMARK:-quillmark}
mkdir -p out

# "Page 1 / 3" at the bottom left: every default.
"$qm" -isample.pdf -oout/default.pdf

# "Page No: 1 of 3 Pages." at 20,10 (points from the bottom left corner).
"$qm" -isample.pdf -oout/words.pdf -pos20,10 -prefix "Page No: " -sep " of " -end " Pages."

# A caption without numbers, centred at the top (-1 centres, -flipv counts from the top).
"$qm" -isample.pdf -oout/caption.pdf -nopg -prefix "CONFIDENTIAL" -sep "" -end "" \
    -pos-1,30 -flipv -align center

# Roman numerals from page 2 on, 14 point red text at the bottom right.
"$qm" -isample.pdf -oout/roman.pdf -s2 -rom -size14 -colorFF0000 -pos30,20 -fliph -align right

# A grey watermark across the page, turned 45 degrees, a third opaque, under the page's text.
"$qm" -isample.pdf -oout/watermark.pdf -nopg -prefix "DRAFT" -sep "" -end "" -size72 \
    -color999999 -angle45 -opacity33 -pos-1,-1 -align center -under

# Two stamps in one run: a number at the bottom and a legend at the top.
"$qm" -isample.pdf -oout/two.pdf -pos20,20 -next -nopg -prefix "Exhibit A" -sep "" -end "" \
    -pos20,20 -flipv

# The counter: the first run writes the next number to counter.txt, the second starts there.
printf '1' > out/counter.txt
"$qm" -isample.pdf -oout/first.pdf -one -sep "" -import out/counter.txt -export out/counter.txt
"$qm" -isample.pdf -oout/second.pdf -one -sep "" -import out/counter.txt -export out/counter.txt
echo "test.sh: the outputs are in $(pwd)/out"
