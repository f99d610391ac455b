#!/bin/sh
# Many documents in one run: a list file names them, one a line, and -f names the folder their
# outputs go to, each under its own name. QUILLMARK names the program when it is not on the
# PATH.
set -e
cd "$(dirname "$0")"
qm=${QUILLMARK:-quillmark}
case $qm in */*) qm=$(cd "$(dirname "$qm")" && pwd)/$(basename "$qm") ;; esac
# The work is done in out/, beside this script.
mkdir -p out
cp sample.pdf out/
cd out

# Three copies of the sample stand for the documents of a production.
for name in a b c; do
    cp sample.pdf "$name.pdf"
done
# The list: what "ls [abc].pdf > list.txt" writes.
printf 'a.pdf\nb.pdf\nc.pdf\n' > list.txt

# Each document numbered "Page 1 / 3" … in list/, as the list names them.
"$qm" -ilist.txt -flist

# Numbered on through the list: b.pdf goes on from where a.pdf ended (4, 5, 6 …), with a log.
printf '1' > counter.txt
"$qm" -ilist.txt -fnumbered -one -sep "" -import counter.txt -export counter.txt \
    -log numbered.csv
echo "list.sh: the outputs are in $(pwd)"
