#!/bin/sh
# A list whose lines carry text of their own: the columns after the file name, split at
# -listdelim, become the stamp's text (those -listusecol names, joined by -listsep), and
# -liststartcol takes each document's first number from a column. QUILLMARK names the program
# when it is not on the PATH.
set -e
cd "$(dirname "$0")"
qm=${QUILLMARK:-quillmark}
case $qm in */*) qm=$(cd "$(dirname "$qm")" && pwd)/$(basename "$qm") ;; esac
# The work is done in out/, beside this script.
mkdir -p out
cp sample.pdf out/
cd out
for name in a b; do
    cp sample.pdf "$name.pdf"
done

# Column 0 the file, 1 an account, 2 a client, 3 a box number.
printf 'a.pdf,ACCOUNT 1234,Smith,Box 7\nb.pdf,ACCOUNT 5678,Jones,Box 9\n' \
    > accounts.txt
# "ACCOUNT 1234 / Box 7" as the caption of every page; the client column is left out.
"$qm" -iaccounts.txt -faccounts -listdelim , -listusecol 1,3 -listsep " / " -nopg -sep "" \
    -end "" -pos20,20

# Bates numbers from the list: column 1 holds each document's first number, shown with six
# digits and a prefix; the first line is a header row.
printf 'file,start\na.pdf,100\nb.pdf,200\n' > bates.csv
"$qm" -ibates.csv -fbates -listdelim , -liststartcol 1 -one -m6 -prefix "ABC" -sep "" -end "" \
    -pos30,20 -fliph -align right -log bates-log.csv
echo "list_complex.sh: the outputs are in $(pwd)"
