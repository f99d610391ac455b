#include "stamp/CPdfStamp.h"

#include "pdf/CPdfException.h"
#include "pdf/CPdfInputFile.h"
#include "pdf/CPdfSecurityHandler.h"
#include "stamp/COutputFile.h"

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

// A classic cross-reference row has ten digits for the offset.
constexpr uint64_t kMaxTableOffset = 9999999999ULL;

// Every row of a cross-reference table takes 20 bytes.
constexpr size_t kRow = 20;

// Writes value into the digits that end at fieldEnd, which hold zeros already.
void putDigitsBefore(char* fieldEnd, uint64_t value) {
    char digits[20];
    const size_t length =
        static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
    std::memcpy(fieldEnd - length, digits, length);
}

// The row of an object in use: the offset in ten digits, the generation in five (the caller
// has checked the offset; a generation is at most 65535).
void putUsedRow(char* row, uint64_t offset, uint32_t generation) {
    std::memcpy(row, "0000000000 00000 n \r", kRow);
    putDigitsBefore(row + 10, offset);
    if (generation != 0) {
        putDigitsBefore(row + 16, generation);
    }
}

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

void CPdfStamp::copyInputRange(uint64_t start, uint64_t length) {
    // The bytes go from the input to the output without a copy of their own. Long runs (image
    // data) go from the mapped input straight to the file, past the output's buffer.
    std::string_view piece;
    while (length > 0) {
        const size_t want =
            static_cast<size_t>(std::min<uint64_t>(length, CPdfInputFile::kLongRun));
        if (!inputFile->piece(start, want, piece)) {
            throw CPdfException("Input file read error");
        }
        outputFile->write(piece);
        start += piece.size();
        length -= piece.size();
    }
}

void CPdfStamp::copyHeader() {
    // Everything from the header up to the lowest object offset is the header. A row that
    // points into the "%PDF-" line itself (offset 0, which some writers give) cannot hold an
    // object and does not shorten it: the output always starts with the input's header line.
    const uint64_t headerLine = headerLineLength(*inputFile);
    uint64_t lowest = UINT64_MAX;
    for (size_t i = 1; i < inputEntries->size(); ++i) {
        const XRefEntry& entry = (*inputEntries)[i];
        if (entry.type == 1 && entry.offset >= 0 &&
            static_cast<uint64_t>(entry.offset) >= headerLine) {
            lowest = std::min(lowest, static_cast<uint64_t>(entry.offset));
        }
    }
    if (lowest == UINT64_MAX) {
        lowest = headerLine;
    }
    copyInputRange(0, std::min(lowest, inputFile->size()));
}

void CPdfStamp::writeNumber(int64_t value) {
    char text[24];
    const char* end = std::to_chars(text, text + sizeof text, value).ptr;
    outputFile->write(text, static_cast<size_t>(end - text));
}

void CPdfStamp::addOutputObject(std::string_view text) {
    outputTable.push_back(OutputXRefEntry{OutputXRefEntry::held(outputFile->offset()), 0, true});
    const int64_t number = static_cast<int64_t>(outputTable.size() - 1);
    if (security != nullptr) {
        writeObject(number, 0, std::to_string(number) + std::string(text), true);
        return;
    }
    writeNumber(number);
    outputFile->write(text);
}

void CPdfStamp::writeObject(int64_t number, uint32_t generation, std::string_view text,
                            bool fresh) {
    if (security == nullptr) {
        outputFile->write(text);
        return;
    }
    outputFile->write(fresh ? security->encryptNewObject(number, generation, text)
                            : security->encryptStringsOfText(number, generation, text));
}

bool CPdfStamp::setOutputEntry(int64_t number, uint32_t generation, uint64_t offset, bool inUse) {
    // A table's generations have five digits, up to 65535.
    if (number < 0 || static_cast<uint64_t>(number) >= outputTable.size() ||
        generation > static_cast<uint32_t>(XRefEntry::kMaxGeneration)) {
        return false;
    }
    outputTable[static_cast<size_t>(number)] =
        OutputXRefEntry{OutputXRefEntry::held(offset), generation, inUse};
    return true;
}

void CPdfStamp::writeXRefTable() {
    std::string table;
    char line[64];
    int n = std::snprintf(line, sizeof line, "xref\n0 %zu%c", outputTable.size(), 13);
    table.append(line, static_cast<size_t>(n));
    table.append("0000000000 65535 f \r");
    // The rows go to the output a few thousand at a time, so that a large table is never held
    // whole.
    constexpr size_t kRowsAtOnce = 4096;
    for (size_t first = 1; first < outputTable.size(); first += kRowsAtOnce) {
        const size_t last = std::min(outputTable.size(), first + kRowsAtOnce);
        size_t at = table.size();
        table.resize(at + (last - first) * kRow);
        for (size_t i = first; i < last; ++i, at += kRow) {
            const OutputXRefEntry& row = outputTable[i];
            if (!row.inUse) {
                std::memcpy(table.data() + at, "0000000000 00000 f \r", kRow);
                continue;
            }
            if (row.offset > kMaxTableOffset) {
                throw CPdfException("Output file is too large for a cross-reference table");
            }
            putUsedRow(table.data() + at, row.offset, row.generation);
        }
        outputFile->write(table);
        table.clear();
    }
    if (!table.empty()) {
        outputFile->write(table); // a table of row 0 alone
    }
}

void CPdfStamp::writeTrailer(uint64_t xrefOffset) {
    if (xrefOffset > kMaxTableOffset) {
        throw CPdfException("Output file is too large for a cross-reference table");
    }
    // The references carry the generation the objects are written with, so that a catalog of
    // generation 1 (an updated file) is still found.
    auto reference = [this](int32_t number) {
        uint32_t generation = 0;
        if (number >= 0 && static_cast<size_t>(number) < outputTable.size()) {
            generation = outputTable[static_cast<size_t>(number)].generation;
        }
        return std::to_string(number) + " " + std::to_string(generation) + " R\n";
    };
    std::string trailer = "trailer\n<<\n/Size " + std::to_string(outputTable.size()) + "\n/Root " +
                          reference(rootObject);
    if (infoObject != 0) {
        trailer += "/Info " + reference(infoObject);
    }
    trailer += ">>\nstartxref\n" + std::to_string(xrefOffset) + "\n%%EOF";
    outputFile->write(trailer);
}

void CPdfStamp::writeUpdateTable() {
    const uint64_t xrefOffset = outputFile->offset();
    if (xrefOffset > kMaxTableOffset) {
        throw CPdfException("Output file is too large for a cross-reference table");
    }
    std::string table = "xref\n";
    constexpr size_t kRowsAtOnce = 4096;
    for (const auto& [first, count] : updatedRuns()) {
        table += std::to_string(first) + " " + std::to_string(count) + "\n";
        // The rows go out a few thousand at a time, as the rewrite's table does.
        for (size_t from = first; from < first + count; from += kRowsAtOnce) {
            const size_t to = std::min(first + count, from + kRowsAtOnce);
            size_t at = table.size();
            table.resize(at + (to - from) * kRow);
            for (size_t i = from; i < to; ++i, at += kRow) {
                const OutputXRefEntry& row = outputTable[i];
                if (row.offset > kMaxTableOffset) {
                    throw CPdfException("Output file is too large for a cross-reference table");
                }
                putUsedRow(table.data() + at, row.offset, row.generation);
            }
            outputFile->write(table);
            table.clear();
        }
    }
    table += "trailer\n<<\n" + updateTrailerEntries(outputTable.size()) + ">>\nstartxref\n" +
             std::to_string(xrefOffset) + "\n%%EOF\n";
    outputFile->write(table);
}
