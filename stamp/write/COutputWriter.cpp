#include "stamp/write/COutputWriter.h"

#include "pdf/CPdfArray.h"
#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfSecurityHandler.h"
#include "pdf/CPdfXRef.h"
#include "pdf/PdfSyntax.h"

#include <algorithm>
#include <charconv>
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

// The row of an object: a free row, or the offset in ten digits and the generation in five (a
// generation is at most 65535).
void putRow(char* row, const OutputXRefEntry& entry) {
    if (!entry.inUse) {
        std::memcpy(row, "0000000000 00000 f \r", kRow);
        return;
    }
    if (entry.offset > kMaxTableOffset) {
        throw CPdfException("Output file is too large for a cross-reference table");
    }
    std::memcpy(row, "0000000000 00000 n \r", kRow);
    putDigitsBefore(row + 10, entry.offset);
    if (entry.generation != 0) {
        putDigitsBefore(row + 16, entry.generation);
    }
}

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

bool COutputWriter::create(const std::string& name) {
    file_ = std::make_unique<COutputFile>();
    security_ = nullptr;
    return file_->create(name);
}

void COutputWriter::writeNumber(int64_t value) {
    struct FileSink {
        COutputFile& file;
        void append(std::string_view digits) { file.write(digits); }
    } sink{*file_};
    pdfsyntax::appendDecimal(sink, value);
}

void COutputWriter::startRows(size_t inputRows, size_t capacity) {
    // Allocated once at its full size; a table as large is kept from pass to pass.
    if (table_.capacity() < capacity) {
        std::vector<OutputXRefEntry>().swap(table_);
        table_.reserve(capacity);
    }
    table_.assign(inputRows, OutputXRefEntry{});
}

size_t COutputWriter::reserveRows(size_t count) {
    const size_t first = table_.size();
    table_.resize(first + count);
    return first;
}

size_t COutputWriter::addOutputObject(std::string_view text) {
    table_.push_back(OutputXRefEntry{OutputXRefEntry::held(file_->offset()), 0, true});
    const size_t number = table_.size() - 1;
    if (security_ != nullptr) {
        writeObject(static_cast<int64_t>(number), 0, std::to_string(number) + std::string(text),
                    true);
        return number;
    }
    writeNumber(static_cast<int64_t>(number));
    file_->write(text);
    return number;
}

void COutputWriter::writeObject(int64_t number, uint32_t generation, std::string_view text,
                                bool fresh) {
    if (security_ == nullptr) {
        file_->write(text);
        return;
    }
    file_->write(fresh ? security_->encryptNewObject(number, generation, text)
                       : security_->encryptStringsOfText(number, generation, text));
}

bool COutputWriter::setOutputEntry(int64_t number, uint32_t generation, uint64_t offset,
                                   bool inUse) {
    // A table's generations have five digits, up to 65535.
    if (number < 0 || static_cast<uint64_t>(number) >= table_.size() ||
        generation > static_cast<uint32_t>(XRefEntry::kMaxGeneration)) {
        return false;
    }
    table_[static_cast<size_t>(number)] =
        OutputXRefEntry{OutputXRefEntry::held(offset), generation, inUse};
    return true;
}

void COutputWriter::writeRows(std::string& table, size_t first, size_t last) {
    constexpr size_t kRowsAtOnce = 4096;
    for (size_t from = first; from < last; from += kRowsAtOnce) {
        const size_t to = std::min(last, from + kRowsAtOnce);
        size_t at = table.size();
        table.resize(at + (to - from) * kRow);
        for (size_t i = from; i < to; ++i, at += kRow) {
            putRow(table.data() + at, table_[i]);
        }
        file_->write(table);
        table.clear();
    }
}

void COutputWriter::writeXRefTable() {
    std::string table;
    char line[64];
    int n = std::snprintf(line, sizeof line, "xref\n0 %zu%c", table_.size(), 13);
    table.append(line, static_cast<size_t>(n));
    table.append("0000000000 65535 f \r");
    writeRows(table, 1, table_.size());
    if (!table.empty()) {
        file_->write(table); // a table of row 0 alone
    }
}

void COutputWriter::writeTrailer(uint64_t xrefOffset, int32_t rootObject, int32_t infoObject) {
    if (xrefOffset > kMaxTableOffset) {
        throw CPdfException("Output file is too large for a cross-reference table");
    }
    // The references carry the generation the objects are written with, so that a catalog of
    // generation 1 (an updated file) is still found.
    auto reference = [this](int32_t number) {
        uint32_t generation = 0;
        if (number >= 0 && static_cast<size_t>(number) < table_.size()) {
            generation = table_[static_cast<size_t>(number)].generation;
        }
        return std::to_string(number) + " " + std::to_string(generation) + " R\n";
    };
    std::string trailer =
        "trailer\n<<\n/Size " + std::to_string(table_.size()) + "\n/Root " + reference(rootObject);
    if (infoObject != 0) {
        trailer += "/Info " + reference(infoObject);
    }
    trailer += ">>\nstartxref\n" + std::to_string(xrefOffset) + "\n%%EOF";
    file_->write(trailer);
}

std::vector<std::pair<size_t, size_t>> COutputWriter::updatedRuns() const {
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t i = 1; i < table_.size(); ++i) {
        if (!table_[i].inUse) {
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
std::string COutputWriter::updateTrailerEntries(const CPdfXRef& xref, uint64_t size) const {
    const CPdfDictionary* last = xref.trailer().getDictionary();
    if (const CPdfElement* given = last->find("Size");
        given && given->is(ElementKind::Integer) && given->getInteger64() > 0 &&
        static_cast<uint64_t>(given->getInteger64()) > size) {
        size = static_cast<uint64_t>(given->getInteger64());
    }
    std::string text = "/Size " + std::to_string(size) + "\n/Root " + reference(xref.root()) + "\n";
    if (xref.info().number != 0) {
        text += "/Info " + reference(xref.info()) + "\n";
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
    if (const CPdfElement* encrypt = last->find("Encrypt"); security_ != nullptr && encrypt) {
        if (!encrypt->is(ElementKind::Reference)) {
            throw CPdfException("PDF file has its /Encrypt dictionary inside its trailer, which "
                                "an update cannot carry over");
        }
        text +=
            "/Encrypt " + reference({encrypt->getRefNumber(), encrypt->getRefGeneration()}) + "\n";
    }
    text += "/Prev " + std::to_string(xref.startxrefOffset()) + "\n";
    return text;
}

void COutputWriter::writeUpdateSection(const CPdfXRef& xref) {
    // The update's cross-reference section is of the kind the input's last one is, so that a
    // reader that takes the one takes the other.
    if (xref.lastSectionIsStream()) {
        writeUpdateStream(xref);
    } else {
        writeUpdateTable(xref);
    }
}

void COutputWriter::writeUpdateStream(const CPdfXRef& xref) {
    // The stream is an object of the update itself, listed in its own rows.
    const uint64_t self = table_.size();
    const uint64_t streamOffset = file_->offset();
    table_.push_back(OutputXRefEntry{OutputXRefEntry::held(streamOffset), 0, true});
    const std::vector<std::pair<size_t, size_t>> runs = updatedRuns();
    uint64_t largest = 0;
    size_t listed = 0;
    for (const auto& [first, count] : runs) {
        listed += count;
        for (size_t i = first; i < first + count; ++i) {
            largest = std::max<uint64_t>(largest, table_[i].offset);
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
            putBigEndian(rows, table_[i].offset, offsetBytes);
            putBigEndian(rows, table_[i].generation, 2);
        }
    }
    writeNumber(static_cast<int64_t>(self));
    file_->write(" 0 obj\n<<\n/Type /XRef\n" + updateTrailerEntries(xref, self + 1) + "/W [1 " +
                 std::to_string(offsetBytes) + " 2]\n/Index [" + index + "]\n/Length " +
                 std::to_string(rows.size()) + "\n>>\nstream\r\n");
    file_->write(rows);
    file_->write("\r\nendstream\nendobj\nstartxref\n" + std::to_string(streamOffset) + "\n%%EOF\n");
}
void COutputWriter::writeUpdateTable(const CPdfXRef& xref) {
    const uint64_t xrefOffset = file_->offset();
    if (xrefOffset > kMaxTableOffset) {
        throw CPdfException("Output file is too large for a cross-reference table");
    }
    std::string table = "xref\n";
    for (const auto& [first, count] : updatedRuns()) {
        table += std::to_string(first) + " " + std::to_string(count) + "\n";
        writeRows(table, first, first + count);
    }
    table += "trailer\n<<\n" + updateTrailerEntries(xref, table_.size()) + ">>\nstartxref\n" +
             std::to_string(xrefOffset) + "\n%%EOF\n";
    file_->write(table);
}
