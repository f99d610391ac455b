#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and checks what a user gets: the program (it runs
# and tells its version), the manual page (gzip-compressed; renders without warnings and names
# every option of the usage text), the licence and changelog, and the bash completion (option names, and file names behind -i, -o, -f and
# after the options that take a file).
#
#   tests/dist/install_test.sh <build folder> <source folder> <version>
set -euo pipefail

build="$1" source="$2" version="$3"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

DESTDIR="$root/dest" cmake --install "$build" --prefix /usr >"$root/install.log" ||
    { cat "$root/install.log"; fail "cmake --install failed"; exit 1; }

program="$root/dest/usr/bin/quillmark"
page_gz="$root/dest/usr/share/man/man1/quillmark.1.gz"
completion="$root/dest/usr/share/bash-completion/completions/quillmark"
doc="$root/dest/usr/share/doc/quillmark"
for path in "$program" "$page_gz" "$completion" "$doc/copyright" "$doc/changelog.gz"; do
    [ -f "$path" ] || fail "not installed: ${path#"$root/dest"}"
done
page="$root/quillmark.1"
gzip -dc "$page_gz" >"$page" 2>/dev/null || fail "the manual page is not gzip-compressed"
[ -x "$program" ] || fail "the installed program is not executable"
got=$("$program" --version 2>&1) || fail "the installed program's --version failed"
[ "$got" = "Quillmark $version" ] || fail "--version printed '$got', not 'Quillmark $version'"

# The manual page: no warnings from groff, the version in its header, every option of the
# usage text documented.
if command -v groff >/dev/null; then
    warnings=$(groff -ww -man -Tutf8 "$page" 2>&1 >/dev/null || echo "groff failed")
    [ -z "$warnings" ] || fail "groff warns about the manual page: $warnings"
else
    echo "note: groff is not installed; the page's rendering is not checked"
fi
grep -q "^\.TH QUILLMARK 1 .*\"Quillmark $version\"" "$page" ||
    fail "the manual page's header does not carry version $version"
# Option names as the usage text begins its lines: "-name<..." or "-name(..." or "-name ...".
options=$(grep -oE '^ *"-[A-Za-z0-9]+' "$source/app/Usage.cpp" | sed 's/^ *"//' | sort -u)
[ "$(echo "$options" | wc -l)" -ge 40 ] || fail "too few options read from app/Usage.cpp"
for option in $options; do
    grep -qE "(^|[^A-Za-z0-9])\\\\$option([^A-Za-z0-9]|$)" "$page" ||
        fail "the manual page does not document $option"
done

# The completion, sourced into this shell and asked the way bash asks it.
# complete_words <words...>: the last word is the one being completed.
complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _quillmark
    printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//'
}
# shellcheck source=/dev/null
. "$completion"
work="$root/work"
mkdir -p "$work/out-folder"
: >"$work/report.pdf"
: >"$work/reply.txt"
: >"$work/lines.txt"
cd "$work"
for option in $options; do
    [ "$option" = -i ] || [ "$option" = -o ] || [ "$option" = -f ] && continue
    reply=$(complete_words quillmark -iin.pdf -oout.pdf "$option")
    [[ " $reply " == *" $option "* ]] || fail "completion does not offer $option (got '$reply')"
done
# words | expected reply
while IFS='|' read -r words expected; do
    read -ra list <<<"$words"
    reply=$(complete_words "${list[@]}" "")
    [ "$reply" = "$expected" ] || fail "completing after '$words': got '$reply', want '$expected'"
done <<'TABLE'
quillmark|--help --version -i
quillmark -ireport.pdf|-f -o
quillmark -ireport.pdf -oout.pdf -textfile|lines.txt out-folder reply.txt report.pdf
quillmark -ireport.pdf -oout.pdf -align|center left right
quillmark -ireport.pdf -oout.pdf -prefix|
TABLE
# words ending in the word being completed | expected reply
while IFS='|' read -r words expected; do
    read -ra list <<<"$words"
    reply=$(complete_words "${list[@]}")
    [ "$reply" = "$expected" ] || fail "completing '$words': got '$reply', want '$expected'"
done <<'TABLE'
quillmark -ire|-ireply.txt -ireport.pdf
quillmark -ireport.pdf -oou|-oout-folder/
quillmark -ireply.txt -fo|-fout-folder/
quillmark -ireply.txt -f|-fout-folder/
quillmark -ireport.pdf -oout.pdf -pre|-prefix
quillmark -ireport.pdf -oout.pdf -fl|-fliph -flipv
quillmark -ireport.pdf -oout.pdf -import rep|reply.txt report.pdf
TABLE

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "install into DESTDIR: program, manual page and completion as expected"
