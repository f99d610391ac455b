#!/usr/bin/env bash
# Quick start: installs what is missing, builds Quillmark in build/, writes a three-page
# sample PDF and stamps page numbers onto it.
#
#   tools/quickstart.sh [--help]
#
# Needs Debian 12 (or a close relative with apt-get). Runs apt-get through sudo when not root.
set -euo pipefail

usage() {
    cat <<'TEXT'
usage: tools/quickstart.sh

Installs what the build needs (apt-get, through sudo when not root), builds Quillmark in build/,
writes the three-page sample build/sample.pdf and stamps it into build/sample-stamped.pdf.
TEXT
}

case "${1-}" in
    "") ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
esac

cd "$(dirname "${BASH_SOURCE[0]}")/.."
. tools/install-deps.sh

die() {
    echo "quickstart: $*" >&2
    exit 1
}

install_missing quickstart g++ cmake make zlib1g-dev libgcrypt20-dev qpdf poppler-utils pkg-config libharfbuzz-dev

# Only the program and the sample writer: the test programs are tools/test.sh's business.
echo "quickstart: building in build/"
{ cmake -S . -B build -DCMAKE_BUILD_TYPE=Release &&
    cmake --build build -j2 --target quillmark make_sample_pdf; } || die "build failed"

echo "quickstart: writing build/sample.pdf"
build/make_sample_pdf build/sample.pdf || die "could not write the sample PDF"

echo "quickstart: stamping build/sample.pdf"
rm -f build/sample-stamped.pdf
build/quillmark -ibuild/sample.pdf -obuild/sample-stamped.pdf || die "stamping failed"
[ -s build/sample-stamped.pdf ] || die "quillmark did not write build/sample-stamped.pdf"

echo
echo "Text of the stamped first page:"
pdftotext -f 1 -l 1 -layout build/sample-stamped.pdf - || die "pdftotext could not read the result"
echo "The stamped sample is $PWD/build/sample-stamped.pdf"
