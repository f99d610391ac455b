# shellcheck shell=bash
# Package installation shared by tools/quickstart.sh, tools/test.sh and .ci/run; sourced, not run.
#
#   install_missing NAME PACKAGE...
#   use_utf8_locale
#
# Installs the packages that dpkg does not list as installed, through apt-get (and sudo when
# not root). Messages start with "NAME: "; on failure it prints one to standard error and ends
# the script with status 1.
#
# use_utf8_locale exports LC_ALL=C.UTF-8 when the shell's locale is not a UTF-8 one (no LANG at
# all, as in a container or a chroot, or LANG=C): wine maps file names and arguments to the
# Windows side through the Unix locale, so a name such as "café.pdf" cannot be passed without one.

install_missing() {
    local name="$1"
    shift
    if ! command -v dpkg-query >/dev/null; then
        echo "$name: dpkg-query not found: this script needs a Debian system" >&2
        exit 1
    fi
    local missing=() pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        echo "$name: all needed packages are installed"
        return 0
    fi
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "$name: not root and no sudo: install ${missing[*]} by hand" >&2
            exit 1
        fi
        sudo=(sudo)
    fi
    echo "$name: installing ${missing[*]}"
    if ! "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update; then
        echo "$name: apt-get update failed" >&2
        exit 1
    fi
    if ! "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"; then
        echo "$name: apt-get install failed" >&2
        exit 1
    fi
}

use_utf8_locale() {
    if [ "$(locale charmap 2>/dev/null)" != "UTF-8" ]; then
        export LC_ALL=C.UTF-8
    fi
}
