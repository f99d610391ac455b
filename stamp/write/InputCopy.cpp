#include "stamp/write/InputCopy.h"

#include "pdf/CPdfException.h"
#include "pdf/CPdfInputFile.h"
#include "pdf/PdfSyntax.h"
#include "platform/Platform.h"
#include "stamp/write/COutputFile.h"
#include "stamp/write/COutputWriter.h"
#include "stamp/write/ReferenceScan.h"

#include <algorithm>
#include <string>
#include <vector>

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

namespace {

// Where the "stream" keyword that ends a stream's dictionary starts in the object's first bytes
// (a keyword of its own: no regular byte before it, a line end after it); text.size() when
// they do not hold it.
size_t streamKeyword(std::string_view text) {
    for (size_t at = text.find("stream"); at != std::string_view::npos;
         at = text.find("stream", at + 1)) {
        const size_t after = at + 6;
        if ((at == 0 || !pdf_syntax::isRegular(static_cast<unsigned char>(text[at - 1]))) &&
            (after == text.size() || text[after] == '\r' || text[after] == '\n')) {
            return at;
        }
    }
    return text.size();
}

} // namespace

uint64_t copyInputObject(CPdfInputFile& input, COutputWriter& output, uint64_t start,
                         uint64_t length, bool isStream, size_t rows) {
    // The text looked at: a whole object that is no stream, or the first bytes of a stream,
    // where its dictionary is. Larger objects are copied as they stand.
    constexpr size_t kLookedAt = 64 * 1024;
    constexpr size_t kStreamHead = 4096;
    std::string_view text;
    const size_t looked =
        static_cast<size_t>(std::min<uint64_t>(length, isStream ? kStreamHead : kLookedAt));
    if ((!isStream && length > kLookedAt) || !input.view(start, looked, text)) {
        copyInputRange(input, output, start, length);
        return 0;
    }
    const size_t head = isStream ? streamKeyword(text) : text.size();
    if (!mayReferencePast(text.substr(0, head), rows)) {
        copyInputRange(input, output, start, length);
        return 0;
    }
    std::string nulled(text.substr(0, head));
    const uint64_t named = nullReferencesPast(nulled, rows);
    output.write(nulled);
    copyInputRange(input, output, start + head, length - head);
    return named;
}

size_t firstUnnamedNumbers(CPdfInputFile& input, size_t rows, size_t count, size_t limit) {
    // The whole file in long pieces, each looked at with the bytes that ended the one before
    // (a reference split between two pieces is found whole there).
    constexpr size_t kCarried = 64;
    std::vector<bool> named;
    std::string joint;
    std::string_view piece;
    for (uint64_t at = 0; at < input.size(); at += piece.size()) {
        if (!input.piece(at, CPdfInputFile::kLongRun, piece) || piece.empty()) {
            throw CPdfException("Input file read error");
        }
        joint.append(piece.substr(0, std::min(piece.size(), kCarried)));
        markNumbersPast(joint, rows, limit, named);
        markNumbersPast(piece, rows, limit, named);
        joint.assign(piece.substr(piece.size() - std::min(piece.size(), kCarried)));
    }
    const size_t first = firstNumbersUnnamed(named, rows, count);
    return first + count <= limit ? first : rows;
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
