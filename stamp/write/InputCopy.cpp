#include "stamp/write/InputCopy.h"

#include "pdf/CPdfException.h"
#include "pdf/CPdfInputFile.h"
#include "platform/Platform.h"
#include "stamp/write/COutputFile.h"
#include "stamp/write/COutputWriter.h"

#include <algorithm>

namespace {

// The header line with its line end (the first 1024 bytes when no line end comes before).
uint64_t headerLineLength(CPdfInputFile& input) {
    std::string head;
    input.read(0, 1024, head);
    size_t eol = head.find_first_of("\r\n");
    if (eol == std::string::npos) {
        return head.size();
    }
    if (head[eol] == '\r' && eol + 1 < head.size() && head[eol + 1] == '\n') {
        ++eol;
    }
    return eol + 1;
}

} // namespace

void copyInputRange(CPdfInputFile& input, COutputWriter& output, uint64_t start, uint64_t length) {
    // The bytes go from the input to the output without a copy of their own. Long runs (image
    // data) go from the mapped input straight to the file, past the output's buffer.
    std::string_view piece;
    while (length > 0) {
        const size_t want =
            static_cast<size_t>(std::min<uint64_t>(length, CPdfInputFile::kLongRun));
        if (!input.piece(start, want, piece)) {
            throw CPdfException("Input file read error");
        }
        output.write(piece);
        start += piece.size();
        length -= piece.size();
    }
}

void copyHeader(CPdfInputFile& input, const std::vector<XRefEntry>& entries,
                COutputWriter& output) {
    // Everything from the header up to the lowest object offset is the header. A row that
    // points into the "%PDF-" line itself (offset 0, which some writers give) cannot hold an
    // object and does not shorten it: the output always starts with the input's header line.
    const uint64_t headerLine = headerLineLength(input);
    uint64_t lowest = UINT64_MAX;
    for (size_t i = 1; i < entries.size(); ++i) {
        const XRefEntry& entry = entries[i];
        if (entry.type == 1 && entry.offset >= 0 &&
            static_cast<uint64_t>(entry.offset) >= headerLine) {
            lowest = std::min(lowest, static_cast<uint64_t>(entry.offset));
        }
    }
    if (lowest == UINT64_MAX) {
        lowest = headerLine;
    }
    copyInputRange(input, output, 0, std::min(lowest, input.size()));
}

void copyWholeInput(CPdfInputFile& input, COutputWriter& output) {
    // Every byte of the input comes first, those before its header included, so that what a
    // signature covers is where it was; the update's offsets count from the header as the
    // input's own do.
    const uint64_t base = input.base();
    const uint64_t whole = base + input.size();
    if (!output.file().appendFileRange(input.handle(), 0, whole)) {
        uint64_t now = 0;
        if (!platform::fileSize(input.handle(), now) || now < whole) {
            throw CPdfException("Input file read error");
        }
        throw CPdfException("Output file write error");
    }
    output.file().setOrigin(base);
    // The first object of the update starts on a line of its own.
    std::string_view last;
    if (input.size() == 0 || !input.view(input.size() - 1, 1, last) ||
        (last != "\n" && last != "\r")) {
        output.file().write("\n");
    }
}
