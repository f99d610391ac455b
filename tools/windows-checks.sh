#!/usr/bin/env bash
# Program-level checks of build-win/quillmark.exe under wine; the outputs are judged from the
# Linux side (qpdf, pdftotext), which cannot run inside wine. Needs build/ (Linux) and
# build-win/ (tools/build-windows.sh) built.
#
#   tools/windows-checks.sh
set -u
cd "$(dirname "${BASH_SOURCE[0]}")/.."
export WINEPREFIX="${WINEPREFIX:-$PWD/build-win/wine}" WINEDEBUG="${WINEDEBUG:--all}"
exe="$PWD/build-win/quillmark.exe"
linux="$PWD/build/quillmark"
work=$(mktemp -d /tmp/quillmark-wine-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # description, then a command that succeeds when the check holds
    local what="$1"
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
winpath() { printf 'Z:%s' "${1//\//\\}"; }
# The wine server is started without faketime: under a frozen clock its timers never expire.
mkdir -p "$WINEPREFIX"
wineserver -p 60
wine cmd /c exit > /dev/null 2>&1

sub="$work/sub dir"
mkdir -p "$sub"
build/make_sample_pdf "$sub/Größe – ünï.pdf"
cp "$sub/Größe – ünï.pdf" "$sub/a.pdf"

wine "$exe" "-i$(winpath "$sub/Größe – ünï.pdf")" "-o$(winpath "$sub/out ü.pdf")" -prefix "Page " \
    > "$work/out1.txt" 2>&1
check "backslash path, drive letter, non-ASCII name: stamped, qpdf-clean" \
    sh -c "qpdf --check '$sub/out ü.pdf' > /dev/null"
check "the stamp text is on the page" \
    sh -c "pdftotext '$sub/out ü.pdf' - | grep -q 'Page 1 / 3'"
check "the console shows the UTF-8 name" \
    grep -q "out ü.pdf'" "$work/out1.txt"

printf 'a.pdf\r\nGröße – ünï.pdf\r\n' > "$sub/list.txt"
(cd "$sub" && wine "$exe" "-i$(winpath "$sub/list.txt")" "-f$(winpath "$sub/outs")" > /dev/null 2>&1)
check "a CRLF list stamps every line into the folder" \
    sh -c "qpdf --check '$sub/outs/a.pdf' > /dev/null && qpdf --check '$sub/outs/Größe – ünï.pdf' > /dev/null"

wine "$exe" "-i$(winpath "$sub/a.pdf")" "-o$(winpath "$sub")\\.\\a.pdf" > "$work/same.txt" 2>&1
status=$?
check "input = output through .\\ is refused with status 1" \
    sh -c "[ $status -eq 1 ] && grep -q 'Output file is the input file' '$work/same.txt'"

printf 'older' > "$sub/old.pdf"
wine "$exe" "-i$(winpath "$sub/a.pdf")" "-o$(winpath "$sub/old.pdf")" > /dev/null 2>&1
check "the output replaces an existing file" sh -c "qpdf --check '$sub/old.pdf' > /dev/null"

for opts in "" "-s2 -ROM -font Times-Roman -colorFF0000 -opacity50 -prefix [DD].[MM].[YYYY]_"; do
    # shellcheck disable=SC2086
    timeout 120 faketime -f '2026-01-02 03:04:05' wine "$exe" "-i$(winpath "$sub/a.pdf")" \
        "-o$(winpath "$work/w.pdf")" -quiet $opts > /dev/null 2>&1
    # shellcheck disable=SC2086
    faketime -f '2026-01-02 03:04:05' "$linux" "-i$sub/a.pdf" "-o$work/l.pdf" -quiet $opts \
        > /dev/null 2>&1
    check "frozen clock: the Windows output is the Linux output byte for byte [$opts]" \
        cmp -s "$work/w.pdf" "$work/l.pdf"
done

echo "windows-checks.sh: $failures failed"
[ "$failures" -eq 0 ]
