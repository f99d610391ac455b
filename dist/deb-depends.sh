#!/bin/sh
# Prints the Depends field of the Debian package for the given programs, the way dpkg-shlibdeps
# would from the packages' shlibs files, for machines without dpkg-dev: for every shared
# library a program names (its NEEDED entries), the package that holds that library here and
# the minimum version its shlibs file declares ("libharfbuzz-subset0 (>= 6.0.0+dfsg)").
#
#   dist/deb-depends.sh <program>...
#
# Fails (status 1, the cause on standard error) when a library cannot be found or is held by
# no package: a package that leaves out a library does not run where it is installed.
set -eu

needed=$(for program in "$@"; do
    objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }'
done | sort -u)

# The path the dynamic loader takes for the library $1, from the loader's cache.
library_path() {
    ldconfig -p | awk -v name="$1" -v want="$(uname -m)" '
        $1 == name {
            path = $NF
            # "(libc6,x86-64)": take the entry of this machine'"'"'s word size first.
            if (want == "x86_64" && $2 !~ /x86-64/) { other = path; next }
            print path; found = 1; exit
        }
        END { if (!found && other != "") print other }'
}

# The installed package ("zlib1g:amd64") holding the file $1; merged /usr: either spelling.
owner() {
    for candidate in "$1" "$(readlink -f "$1")" "${1#/usr}" "/usr$1"; do
        found=$(dpkg-query -S "$candidate" 2>/dev/null | head -n 1 | sed 's/: .*//') || true
        if [ -n "$found" ]; then
            echo "$found"
            return 0
        fi
    done
    return 1
}

for soname in $needed; do
    path=$(library_path "$soname")
    if [ -z "$path" ]; then
        echo "deb-depends.sh: $soname is not in the dynamic loader's cache" >&2
        exit 1
    fi
    package=$(owner "$path") || {
        echo "deb-depends.sh: no installed package holds $path ($soname)" >&2
        exit 1
    }
    # "libharfbuzz-subset.so.0" is "libharfbuzz-subset 0" in a shlibs file.
    name=${soname%%.so.*}
    version=${soname#*.so.}
    shlibs=$(dpkg-query --control-path "$package" shlibs 2>/dev/null || true)
    line=""
    if [ -n "$shlibs" ] && [ "$version" != "$soname" ]; then
        line=$(awk -v n="$name" -v v="$version" '$1 == n && $2 == v {
                   $1 = ""; $2 = ""; sub(/^ +/, ""); print; exit }' "$shlibs")
    fi
    echo "${line:-${package%%:*}}"
done | sort -u | awk 'BEGIN { ORS = "" } { print (NR > 1 ? ", " : "") $0 } END { print "\n" }'
