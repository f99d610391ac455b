#!/usr/bin/env bash
# Builds the Debian package and checks that it runs where it is installed: its documentation
# files (machine-readable copyright, compressed changelog and manual page), its declared
# dependencies against the libraries the program links, lintian's verdict, and an install into
# a scratch root that holds only the declared dependencies (and what they depend on), where
# `quillmark --version` and a stamp run under chroot.
#
#   tests/dist/deb_test.sh <build folder> <source folder> <version>
#
# Exit status 77 (skipped) when cpack or dpkg is missing, with the reason after a line
# "deb_test.sh: Skipped", as the test summary reads it.
set -euo pipefail

build="$1" source="$2" version="$3"
skip() {
    echo "deb_test.sh: Skipped"
    echo "$*"
    exit 77
}
for tool in cpack dpkg-deb dpkg-query objdump; do
    command -v "$tool" >/dev/null || skip "needs $tool"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A step that fails unexpectedly is named, not left as a silent exit.
trap 'echo "FAIL: deb_test.sh stopped at line $LINENO: $BASH_COMMAND"' ERR
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; echo "FAIL: cpack -G DEB failed"; exit 1; }
deb=$(find "$work/pkg" -maxdepth 1 -name "quillmark_${version}_*.deb" | head -n 1)
[ -n "$deb" ] || { ls -l "$work/pkg"; echo "FAIL: no quillmark_${version}_*.deb written"; exit 1; }
dpkg-deb -x "$deb" "$work/unpacked"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"

# ---- documentation files ----
doc="$work/unpacked/usr/share/doc/quillmark"
[ "$(head -n 1 "$doc/copyright" 2>/dev/null)" = \
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] ||
    fail "usr/share/doc/quillmark/copyright is missing or not in the machine-readable format"
grep -q '^License: Expat$' "$doc/copyright" 2>/dev/null || fail "the copyright file names no licence"
gzip -dc "$doc/changelog.gz" 2>/dev/null | head -n 1 | grep -q "^quillmark ($version) " ||
    fail "usr/share/doc/quillmark/changelog.gz is missing or does not start with version $version"
gzip -dc "$work/unpacked/usr/share/man/man1/quillmark.1.gz" 2>/dev/null | grep -q '^\.TH QUILLMARK 1' ||
    fail "usr/share/man/man1/quillmark.1.gz is missing or not a manual page"
[ ! -e "$work/unpacked/usr/share/man/man1/quillmark.1" ] ||
    fail "the manual page is also installed uncompressed"

# ---- dependencies: every library the program links is held by a declared package ----
program="$work/unpacked/usr/bin/quillmark"
declared=$(echo "$depends" | tr ',|' '\n\n' | sed 's/(.*//; s/[[:space:]]//g' | sort -u)
while IFS= read -r soname; do
    # awk reads the whole cache (an early exit would end ldconfig with SIGPIPE).
    path=$(ldconfig -p | awk -v n="$soname" '$1 == n && /x86-64/ && !found++ { print $NF }')
    [ -n "$path" ] || path=$(ldconfig -p | awk -v n="$soname" '$1 == n && !found++ { print $NF }')
    owner=""
    for candidate in "$path" "$(readlink -f "$path")" "/usr$path" "${path#/usr}"; do
        owner=$(dpkg-query -S "$candidate" 2>/dev/null | sed -n '1 { s/: .*//; s/:.*//; p }' || true)
        [ -n "$owner" ] && break
    done
    if [ -z "$owner" ]; then
        fail "no installed package holds $soname ($path)"
    elif ! grep -qx "$owner" <<<"$declared"; then
        fail "the program links $soname of package $owner, which Depends leaves out"
    fi
done < <(objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }')

# Without dpkg-dev the dependencies come from dist/deb-depends.sh: the same packages as
# dpkg-shlibdeps finds, where both are there to compare.
if command -v dpkg-shlibdeps >/dev/null; then
    mkdir -p "$work/shlibdeps/debian"
    : >"$work/shlibdeps/debian/control"
    if (cd "$work/shlibdeps" && dpkg-shlibdeps -O "$program") >"$work/shlibdeps.out" \
        2>"$work/shlibdeps.err"; then
        sed -n 's/^shlibs:Depends=//p' "$work/shlibdeps.out" | tr ',' '\n' |
            sed 's/(.*//; s/[[:space:]]//g' | sort -u >"$work/by-shlibdeps"
    else
        fail "dpkg-shlibdeps failed: $(cat "$work/shlibdeps.err")"
        : >"$work/by-shlibdeps"
    fi
    sh "$source/dist/deb-depends.sh" "$program" | tr ',' '\n' | sed 's/(.*//; s/[[:space:]]//g' |
        sort -u >"$work/by-script"
    [ -s "$work/by-shlibdeps" ] || fail "dpkg-shlibdeps gave no dependencies"
    diff "$work/by-shlibdeps" "$work/by-script" >"$work/depends.diff" ||
        fail "dist/deb-depends.sh and dpkg-shlibdeps disagree: $(tr '\n' ' ' <"$work/depends.diff")"
fi

# ---- lintian ----
if command -v lintian >/dev/null; then
    if ! lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1; then
        cat "$work/lintian.log"
        fail "lintian reports errors"
    fi
    grep -E '^[EW]: ' "$work/lintian.log" || true
else
    echo "note: lintian is not installed; the package is not judged by it"
fi

# ---- a scratch root with the declared dependencies only ----
# The packages a declared dependency needs in turn (Depends and Pre-Depends, the first
# alternative that is installed), as this machine has them.
closure=()
queue=()
while IFS= read -r pkg; do [ -n "$pkg" ] && queue+=("$pkg"); done <<<"$declared"
declare -A seen=()
while [ "${#queue[@]}" -gt 0 ]; do
    pkg="${queue[0]}"
    queue=("${queue[@]:1}")
    [ -n "${seen[$pkg]:-}" ] && continue
    seen[$pkg]=1
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
        fail "declared dependency $pkg is not installed on this machine"
        continue
    fi
    closure+=("$pkg")
    while IFS= read -r alternatives; do
        for alternative in ${alternatives//|/ }; do
            alternative=${alternative%%:*}
            if dpkg-query -W -f='${Status}' "$alternative" 2>/dev/null | grep -q 'install ok installed'; then
                queue+=("$alternative")
                break
            fi
        done
    done < <(dpkg-query -W -f='${Pre-Depends}, ${Depends}\n' "$pkg" | tr ',' '\n' |
        sed 's/([^)]*)//g; s/[[:space:]]//g' | grep -v '^$' || true)
done

if [ "$(id -u)" -ne 0 ]; then
    echo "note: not root: the install into a scratch root and the run under chroot are left out"
else
    root="$work/root"
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/tmp"
    : >"$root/var/lib/dpkg/status"
    : >"$root/var/lib/dpkg/available"
    # Their files, copied as one tar stream; folders are made by the copy (a folder that is a
    # link, as /lib on a merged /usr, becomes a folder).
    : >"$work/files"
    for pkg in "${closure[@]}"; do
        dpkg-query -s "$pkg" >>"$root/var/lib/dpkg/status"
        echo >>"$root/var/lib/dpkg/status"
        dpkg-query -L "$pkg" >>"$work/files"
    done
    while IFS= read -r path; do
        [ -d "$path" ] && continue
        [ -e "$path" ] || [ -L "$path" ] || continue
        echo "${path#/}"
    done <"$work/files" | sort -u >"$work/copy"
    tar -C / --no-recursion -cf - -T "$work/copy" | tar -C "$root" -xf -
    if ! dpkg --root="$root" --force-bad-path -i "$deb" >"$work/dpkg.log" 2>&1; then
        cat "$work/dpkg.log"
        fail "dpkg could not install the package into a root holding only its dependencies"
    else
        got=$(chroot "$root" /usr/bin/quillmark --version 2>&1) ||
            fail "quillmark --version in the scratch root failed: $got"
        [ "$got" = "Quillmark $version" ] || fail "--version printed '$got' in the scratch root"
        "$build/make_sample_pdf" "$root/tmp/in.pdf" >/dev/null
        args=(-i/tmp/in.pdf -o/tmp/out.pdf -quiet)
        font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
        if [ -f "$font" ]; then
            cp "$font" "$root/tmp/font.ttf"
            args+=(-embedfont /tmp/font.ttf -prefix "Страница ")
        fi
        chroot "$root" /usr/bin/quillmark "${args[@]}" >"$work/stamp.log" 2>&1 ||
            fail "stamping in the scratch root failed: $(cat "$work/stamp.log")"
        if command -v pdftotext >/dev/null && [ -f "$font" ]; then
            pdftotext "$root/tmp/out.pdf" - 2>/dev/null | grep -q "Страница 1 / " ||
                fail "the page stamped in the scratch root does not carry the text"
        fi
    fi
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "package: documented, its dependencies complete, installed and run in a scratch root"
