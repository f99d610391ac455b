#!/usr/bin/env bash
# Program-level checks of build-win/quillmark.exe under wine; the outputs are judged from the
# Linux side (qpdf, pdftotext), which cannot run inside wine. Needs build/ (Linux) and
# build-win/ (tools/build-windows.sh) built.
#
#   tools/windows-checks.sh
set -u
cd "$(dirname "${BASH_SOURCE[0]}")/.."
. tools/install-deps.sh
use_utf8_locale
export WINEPREFIX="${WINEPREFIX:-$PWD/build-win/wine}" WINEDEBUG="${WINEDEBUG:--all}"
# The program loads libgcrypt and libgpg-error from the mingw packages' DLL folder (the
# unpacked zip is run without it: its DLLs must be beside the program).
export WINEPATH="/usr/x86_64-w64-mingw32/bin"
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

# -embedfont: text in other scripts, drawn in an embedded subset of the font, given back as typed
# and, under the same frozen clock, the Linux program's bytes.
dejavu=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
ipag=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf
while IFS='|' read -r label font text; do
    [ -f "$font" ] || { echo "skipped: -embedfont $label (no $font)"; continue; }
    timeout 120 faketime -f '2026-01-02 03:04:05' wine "$exe" "-i$(winpath "$sub/a.pdf")" \
        "-o$(winpath "$work/font-w.pdf")" -quiet -embedfont "$(winpath "$font")" \
        -prefix "$text " > "$work/font-w.txt" 2>&1
    faketime -f '2026-01-02 03:04:05' "$linux" "-i$sub/a.pdf" "-o$work/font-l.pdf" -quiet \
        -embedfont "$font" -prefix "$text " > /dev/null 2>&1
    check "-embedfont $label: pdftotext gives the text back as typed" \
        sh -c "pdftotext '$work/font-w.pdf' - 2>/dev/null | grep -qF '$text 1 / 3'"
    check "-embedfont $label: the font is embedded as a subset" \
        sh -c "pdffonts '$work/font-w.pdf' | awk 'NR > 2 && \$(NF-4) == \"yes\" && \$(NF-3) == \"yes\"' | grep -q ."
    check "-embedfont $label: frozen clock, the Windows output is the Linux output byte for byte" \
        cmp -s "$work/font-w.pdf" "$work/font-l.pdf"
    rm -f "$work/font-w.pdf" "$work/font-l.pdf"
done <<TABLE
Polish, Greek and Cyrillic|$dejavu|Zażółć gęślą jaźń Ελληνικά Кириллица
Japanese|$ipag|日本語のページ
TABLE

# The zip for users: one folder, the stripped program with its version information and
# manifest, the DLLs it loads, the licences and a CRLF README; the unpacked program runs from its
# own folder (the DLLs it needs are there, not found elsewhere).
zip=$(ls build-win/quillmark-*-windows.zip 2>/dev/null | head -n 1)
if [ -z "$zip" ]; then
    check "the Windows zip was built" false
else
    folder=$(basename "$zip" .zip)
    version=${folder#quillmark-}
    version=${version%-windows}
    unzip -Z1 "$zip" | sort > "$work/listing"
    check "every file of the zip is in its folder $folder/" \
        sh -c "! grep -v '^$folder/' '$work/listing'"
    for name in quillmark.exe LICENSE THIRD-PARTY-NOTICES README-Windows.txt examples/test.bat \
        examples/list.bat examples/list_complex.bat examples/sample.pdf; do
        check "the zip holds $folder/$name" grep -qx "$folder/$name" "$work/listing"
    done
    unzip -q "$zip" -d "$work/unzipped"
    unpacked="$work/unzipped/$folder"
    readme="$unpacked/README-Windows.txt"
    check "README-Windows.txt ends every line in CR LF" \
        test "$(grep -c $'\r$' "$readme")" -eq "$(wc -l < "$readme")" -a -s "$readme"
    check "quillmark.exe is stripped (no symbol table)" \
        sh -c "x86_64-w64-mingw32-objdump -t '$unpacked/quillmark.exe' | grep -q 'SYMBOL TABLE:' && ! x86_64-w64-mingw32-objdump -t '$unpacked/quillmark.exe' | grep -q '(sec '"
    x86_64-w64-mingw32-windres -i "$unpacked/quillmark.exe" -O rc > "$work/resources.rc" 2>/dev/null
    check "quillmark.exe carries its version information" \
        grep -q "VALUE \"ProductVersion\", \"$version\"" "$work/resources.rc"
    check "quillmark.exe carries a manifest: long paths and Windows 7 to 11" \
        sh -c "grep -q 'longPathAware' '$work/resources.rc' && grep -q '35138b9a-5d96-4fbd-8e2d-a2440225f93a' '$work/resources.rc' && grep -q '8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a' '$work/resources.rc'"
    missing=""
    for dll in $(x86_64-w64-mingw32-objdump -p "$unpacked/quillmark.exe" | awk '/DLL Name:/ { print $3 }'); do
        if [ -f "/usr/x86_64-w64-mingw32/bin/$dll" ] && ! grep -qx "$folder/$dll" "$work/listing"; then
            missing="$missing $dll"
        fi
    done
    check "the zip holds every DLL the program loads beyond Windows' own${missing:+ (missing:$missing)}" \
        test -z "$missing"
    # The examples as a user runs them from the unpacked zip, the program named by QUILLMARK.
    for bat in test list list_complex; do
        check "examples\\$bat.bat runs under wine" \
            sh -c "cd '$unpacked/examples' && QUILLMARK='$(winpath "$unpacked/quillmark.exe")' WINEPATH= WINEDLLPATH= wine cmd /c $bat.bat > '$work/$bat-bat.txt' 2>&1"
    done
    check "the .bat examples write clean PDFs that show their stamps" \
        sh -c "cd '$unpacked/examples/out' && for f in default.pdf second.pdf list/c.pdf numbered/b.pdf accounts/b.pdf bates/b.pdf; do qpdf --check \"\$f\" > /dev/null || exit 1; done && pdftotext numbered/b.pdf - | grep -qx 'Page 4' && pdftotext bates/b.pdf - | grep -qx ABC000202"
    check "the unpacked program runs from its folder: --version" \
        sh -c "cd '$unpacked' && WINEPATH= WINEDLLPATH= wine ./quillmark.exe --version 2>&1 | tr -d '\r' | grep -qx 'Quillmark $version'"
fi

echo "windows-checks.sh: $failures failed"
[ "$failures" -eq 0 ]
