#include "stamp/CPdfStamp.h"

#include "pdf/CPdfArray.h"
#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfInputFile.h"
#include "platform/Platform.h"
#include "stamp/COutputFile.h"

#include <algorithm>
#include <string>

namespace {

// A string as a hexadecimal string: every byte survives, whatever it is.
std::string hexString(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text = "<";
    for (unsigned char c : bytes) {
        text += kDigits[c >> 4];
        text += kDigits[c & 15];
    }
    text += '>';
    return text;
}

std::string reference(const ObjectRef& ref) {
    return std::to_string(ref.number) + " " + std::to_string(ref.generation) + " R";
}

// How many bytes a cross-reference stream needs to hold value.
int bytesFor(uint64_t value) {
    int bytes = 1;
    while (bytes < 8 && (value >> (8 * bytes)) != 0) {
        ++bytes;
    }
    return bytes;
}

void putBigEndian(std::string& out, uint64_t value, int bytes) {
    for (int k = bytes - 1; k >= 0; --k) {
        out += static_cast<char>((value >> (8 * k)) & 0xFF);
    }
}

} // namespace

void CPdfStamp::printSignedInputNotice() const {
    if (!quiet) {
        std::printf("Signed PDF file: the stamp is added as an incremental update, so that the "
                    "signature stays valid\n");
    }
}

void CPdfStamp::copyWholeInput() {
    // Every byte of the input comes first, those before its header included, so that what a
    // signature covers is where it was; the update's offsets count from the header as the
    // input's own do.
    const uint64_t base = inputFile->base();
    const uint64_t whole = base + inputFile->size();
    if (!outputFile->appendFileRange(inputFile->handle(), 0, whole)) {
        uint64_t now = 0;
        if (!platform::fileSize(inputFile->handle(), now) || now < whole) {
            throw CPdfException("Input file read error");
        }
        throw CPdfException("Output file write error");
    }
    outputFile->setOrigin(base);
    // The first object of the update starts on a line of its own.
    std::string_view last;
    if (inputFile->size() == 0 || !inputFile->view(inputFile->size() - 1, 1, last) ||
        (last != "\n" && last != "\r")) {
        outputFile->write("\n");
    }
}

void CPdfStamp::stampPagesForUpdate() {
    // The pages in object-number order, as the rewrite meets them; only those stamped are
    // read beyond what the page tree showed.
    for (const auto& [number, position] : pagesByNumber_) {
        const int32_t object = static_cast<int32_t>(number);
        ObjectExtent extent;
        if (outputTable[number].inUse || !locateObject(object, extent)) {
            continue;
        }
        countPageProgress();
        if (!isPageSelected(position)) {
            continue;
        }
        const uint64_t start = outputFile->offset();
        stampPage(object, static_cast<size_t>(position - 1));
        if (outputFile->offset() == start) {
            std::string cause = "Object " + std::to_string(number);
            const XRefEntry& row = (*inputEntries)[number];
            if (row.type == 2) {
                cause += " in object stream " + std::to_string(row.offset);
            }
            throw CPdfException(cause + " cannot be read");
        }
    }
}

std::vector<std::pair<size_t, size_t>> CPdfStamp::updatedRuns() const {
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t i = 1; i < outputTable.size(); ++i) {
        if (!outputTable[i].inUse) {
            continue;
        }
        if (!runs.empty() && runs.back().first + runs.back().second == i) {
            ++runs.back().second;
        } else {
            runs.emplace_back(i, 1);
        }
    }
    return runs;
}

std::string CPdfStamp::updateTrailerEntries(uint64_t size) const {
    const CPdfDictionary* last = xref->trailer().getDictionary();
    if (const CPdfElement* given = last->find("Size");
        given && given->is(ElementKind::Integer) && given->getInteger64() > 0 &&
        static_cast<uint64_t>(given->getInteger64()) > size) {
        size = static_cast<uint64_t>(given->getInteger64());
    }
    std::string text =
        "/Size " + std::to_string(size) + "\n/Root " + reference(xref->root()) + "\n";
    if (xref->info().number != 0) {
        text += "/Info " + reference(xref->info()) + "\n";
    }
    // The file's identifier goes on unchanged, both its strings.
    if (const CPdfElement* id = last->find("ID"); id && id->is(ElementKind::Array)) {
        const CPdfArray& strings = *id->getArray();
        std::string items;
        for (size_t k = 0; k < strings.getCount(); ++k) {
            if (!strings.getItem(k).is(ElementKind::String)) {
                items.clear();
                break;
            }
            if (k != 0) {
                items += ' ';
            }
            items += hexString(strings.getItem(k).getText());
        }
        if (!items.empty()) {
            text += "/ID [" + items + "]\n";
        }
    }
    // A protected file's update is protected as the file is: the same /Encrypt.
    if (const CPdfElement* encrypt = last->find("Encrypt"); security != nullptr && encrypt) {
        if (!encrypt->is(ElementKind::Reference)) {
            throw CPdfException("PDF file has its /Encrypt dictionary inside its trailer, which "
                                "an update cannot carry over");
        }
        text += "/Encrypt " +
                reference({encrypt->getRefNumber(), encrypt->getRefGeneration()}) + "\n";
    }
    text += "/Prev " + std::to_string(xref->startxrefOffset()) + "\n";
    return text;
}

void CPdfStamp::writeUpdateSection() {
    // The update's cross-reference section is of the kind the input's last one is, so that a
    // reader that takes the one takes the other.
    if (xref->lastSectionIsStream()) {
        writeUpdateStream();
    } else {
        writeUpdateTable();
    }
}

void CPdfStamp::writeUpdateStream() {
    // The stream is an object of the update itself, listed in its own rows.
    const uint64_t self = outputTable.size();
    const uint64_t streamOffset = outputFile->offset();
    outputTable.push_back(OutputXRefEntry{OutputXRefEntry::held(streamOffset), 0, true});
    const std::vector<std::pair<size_t, size_t>> runs = updatedRuns();
    uint64_t largest = 0;
    size_t listed = 0;
    for (const auto& [first, count] : runs) {
        listed += count;
        for (size_t i = first; i < first + count; ++i) {
            largest = std::max<uint64_t>(largest, outputTable[i].offset);
        }
    }
    if (largest >= OutputXRefEntry::kMaxOffset) {
        throw CPdfException("Output file is too large for a cross-reference table");
    }
    const int offsetBytes = bytesFor(largest);
    std::string rows;
    std::string index;
    rows.reserve(static_cast<size_t>(offsetBytes + 3) * listed);
    for (const auto& [first, count] : runs) {
        if (!index.empty()) {
            index += ' ';
        }
        index += std::to_string(first) + " " + std::to_string(count);
        for (size_t i = first; i < first + count; ++i) {
            rows += '\1';
            putBigEndian(rows, outputTable[i].offset, offsetBytes);
            putBigEndian(rows, outputTable[i].generation, 2);
        }
    }
    writeNumber(static_cast<int64_t>(self));
    outputFile->write(" 0 obj\n<<\n/Type /XRef\n" + updateTrailerEntries(self + 1) + "/W [1 " +
                      std::to_string(offsetBytes) + " 2]\n/Index [" + index + "]\n/Length " +
                      std::to_string(rows.size()) + "\n>>\nstream\r\n");
    outputFile->write(rows);
    outputFile->write("\r\nendstream\nendobj\nstartxref\n" + std::to_string(streamOffset) +
                      "\n%%EOF\n");
}
