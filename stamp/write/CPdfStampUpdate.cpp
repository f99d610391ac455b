#include "stamp/pass/CPdfStamp.h"

#include "pdf/CPdfArray.h"
#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfInputFile.h"
#include "platform/Platform.h"
#include "stamp/text/PageNumbering.h"
#include "stamp/write/COutputFile.h"

#include <algorithm>
#include <string>

void CPdfStamp::reportSignedInput() const {
    if (!quiet) {
        reporter_->note("Signed PDF file: the stamp is added as an incremental update, so that "
                        "the signature stays valid\n");
    }
}

void CPdfStamp::copyWholeInput() {
    // Every byte of the input comes first, those before its header included, so that what a
    // signature covers is where it was; the update's offsets count from the header as the
    // input's own do.
    const uint64_t base = inputFile->base();
    const uint64_t whole = base + inputFile->size();
    if (!output.file().appendFileRange(inputFile->handle(), 0, whole)) {
        uint64_t now = 0;
        if (!platform::fileSize(inputFile->handle(), now) || now < whole) {
            throw CPdfException("Input file read error");
        }
        throw CPdfException("Output file write error");
    }
    output.file().setOrigin(base);
    // The first object of the update starts on a line of its own.
    std::string_view last;
    if (inputFile->size() == 0 || !inputFile->view(inputFile->size() - 1, 1, last) ||
        (last != "\n" && last != "\r")) {
        output.file().write("\n");
    }
}

void CPdfStamp::stampPagesForUpdate() {
    // The pages in object-number order, as the rewrite meets them; only those stamped are
    // read beyond what the page tree showed.
    for (const auto& [number, position] : pagesByNumber_) {
        const int32_t object = static_cast<int32_t>(number);
        ObjectExtent extent;
        if (output.row(number).inUse || !objects_.locateObject(object, extent)) {
            continue;
        }
        countPageProgress();
        if (!isPageSelected(stamp, position)) {
            continue;
        }
        const uint64_t start = output.offset();
        stampPage(object, static_cast<size_t>(position - 1));
        requireObjectWritten(number, start);
    }
}
