#include "stamp/write/COutputWriter.h"

#include "pdf/CPdfArray.h"
#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfSecurityHandler.h"
#include "pdf/CPdfXRef.h"
#include "pdf/PdfSyntax.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

// A classic cross-reference row has ten digits for the offset.
constexpr uint64_t kMaxTableOffset = 9999999999ULL;

// Every row of a cross-reference table takes 20 bytes.
constexpr size_t kRow = 20;

// The two digits of every number below 100.
constexpr char kPairs[] = "00010203040506070809"
                          "10111213141516171819"
                          "20212223242526272829"
                          "30313233343536373839"
                          "40414243444546474849"
                          "50515253545556575859"
                          "60616263646566676869"
                          "70717273747576777879"
                          "80818283848586878889"
                          "90919293949596979899";

// Writes the pairs of digits of value, below 100 to the power pairs, ending at fieldEnd.
void putDigitPairs(char* fieldEnd, uint32_t value, int pairs) {
    for (int k = 1; k <= pairs; ++k) {
        std::memcpy(fieldEnd - 2 * k, kPairs + 2 * (value % 100), 2);
        value /= 100;
    }
}

// An offset of at most ten digits as ten digits, zeros in front.
void putOffset(char* field, uint64_t offset) {
    putDigitPairs(field + 2, static_cast<uint32_t>(offset / 100000000), 1);
    putDigitPairs(field + 10, static_cast<uint32_t>(offset % 100000000), 4);
}

// A generation, at most 65535, as five digits.
void putGeneration(char* field, uint32_t generation) {
    field[0] = static_cast<char>('0' + generation / 10000);
    putDigitPairs(field + 5, generation % 10000, 2);
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
    putOffset(row, entry.offset);
    if (entry.generation != 0) {
        putGeneration(row + 11, static_cast<uint32_t>(entry.generation));
    }
}

// The text of a cross-reference table, gathered in pieces of a few thousand rows and handed to
// the file a piece at a time, so that a large table is never held whole.
class TableText {
  public:
    explicit TableText(COutputFile& file) : file_(file) {}
    TableText(const TableText&) = delete;
    TableText& operator=(const TableText&) = delete;

    void append(std::string_view text) {
        if (text.size() > sizeof buffer_ - used_) {
            flush();
            if (text.size() > sizeof buffer_) {
                file_.write(text);
                return;
            }
        }
        std::memcpy(buffer_ + used_, text.data(), text.size());
        used_ += text.size();
    }
    void appendNumber(uint64_t value) {
        char* at = room(20);
        used_ = static_cast<size_t>(std::to_chars(at, at + 20, value).ptr - buffer_);
    }
    // "first count" and the line end that open a subsection of rows.
    void appendSubsectionHeading(uint64_t first, uint64_t count) {
        char* at = room(42);
        at = std::to_chars(at, at + 20, first).ptr;
        *at++ = ' ';
        at = std::to_chars(at, at + 20, count).ptr;
        *at++ = '\n';
        used_ = static_cast<size_t>(at - buffer_);
    }
    // The rows of table from first to last (exclusive).
    void appendRows(const std::vector<OutputXRefEntry>& table, size_t first, size_t last) {
        while (first < last) {
            if (sizeof buffer_ - used_ < kRow) {
                flush();
            }
            // As many rows as the buffer has room for, in one go.
            const size_t end = std::min(last, first + (sizeof buffer_ - used_) / kRow);
            char* row = buffer_ + used_;
            for (; first < end; ++first, row += kRow) {
                putRow(row, table[first]);
            }
            used_ = static_cast<size_t>(row - buffer_);
        }
    }
    // A row of a cross-reference stream: type 1, the offset in offsetBytes bytes and the
    // generation in two, most significant byte first.
    void appendStreamRow(uint64_t offset, uint32_t generation, int offsetBytes) {
        char* at = room(11);
        *at++ = '\1';
        for (int k = offsetBytes - 1; k >= 0; --k) {
            *at++ = static_cast<char>((offset >> (8 * k)) & 0xFF);
        }
        *at++ = static_cast<char>((generation >> 8) & 0xFF);
        *at++ = static_cast<char>(generation & 0xFF);
        used_ = static_cast<size_t>(at - buffer_);
    }
    void flush() {
        if (used_ != 0) {
            file_.write(buffer_, used_);
        }
        used_ = 0;
    }

  private:
    // Where the next count bytes (a few) go: the buffer is handed on first when it has not
    // room for them.
    char* room(size_t count) {
        if (sizeof buffer_ - used_ < count) {
            flush();
        }
        return buffer_ + used_;
    }

    COutputFile& file_;
    char buffer_[1024 * kRow];
    size_t used_ = 0;
};

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
    pdf_syntax::appendDecimal(sink, value);
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
    char digits[20];
    const char* end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    file_->write(digits, static_cast<size_t>(end - digits));
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

void COutputWriter::writeXRefTable() {
    TableText table(*file_);
    table.append("xref\n0 ");
    table.appendNumber(table_.size());
    table.append("\r0000000000 65535 f \r");
    table.appendRows(table_, 1, table_.size());
    table.flush();
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
    // The runs of consecutive rows in use name the subsections in /Index; the largest offset
    // gives the width of the rows.
    uint64_t largest = 0;
    size_t listed = 0;
    std::string index;
    for (size_t first = 1; first < table_.size(); ++first) {
        if (!table_[first].inUse) {
            continue;
        }
        size_t end = first;
        for (; end < table_.size() && table_[end].inUse; ++end) {
            largest = std::max<uint64_t>(largest, table_[end].offset);
        }
        listed += end - first;
        char heading[42];
        char* at = heading;
        if (!index.empty()) {
            *at++ = ' ';
        }
        at = std::to_chars(at, at + 20, first).ptr;
        *at++ = ' ';
        at = std::to_chars(at, at + 20, end - first).ptr;
        index.append(heading, static_cast<size_t>(at - heading));
        first = end;
    }
    if (largest >= OutputXRefEntry::kMaxOffset) {
        throw CPdfException("Output file is too large for a cross-reference table");
    }
    const int offsetBytes = bytesFor(largest);
    const size_t rowWidth = static_cast<size_t>(offsetBytes) + 3;
    writeNumber(static_cast<int64_t>(self));
    file_->write(" 0 obj\n<<\n/Type /XRef\n" + updateTrailerEntries(xref, self + 1) + "/W [1 " +
                 std::to_string(offsetBytes) + " 2]\n/Index [" + index + "]\n/Length " +
                 std::to_string(rowWidth * listed) + "\n>>\nstream\r\n");
    // The rows, type 1 (an object at an offset), in the order /Index names them.
    TableText rows(*file_);
    for (size_t i = 1; i < table_.size(); ++i) {
        if (table_[i].inUse) {
            rows.appendStreamRow(table_[i].offset, static_cast<uint32_t>(table_[i].generation),
                                 offsetBytes);
        }
    }
    rows.flush();
    file_->write("\r\nendstream\nendobj\nstartxref\n" + std::to_string(streamOffset) + "\n%%EOF\n");
}
void COutputWriter::writeUpdateTable(const CPdfXRef& xref) {
    const uint64_t xrefOffset = file_->offset();
    if (xrefOffset > kMaxTableOffset) {
        throw CPdfException("Output file is too large for a cross-reference table");
    }
    // One subsection for each run of consecutive rows in use, found as the rows are written.
    TableText table(*file_);
    table.append("xref\n");
    for (size_t first = 1; first < table_.size(); ++first) {
        if (!table_[first].inUse) {
            continue;
        }
        size_t end = first + 1;
        while (end < table_.size() && table_[end].inUse) {
            ++end;
        }
        table.appendSubsectionHeading(first, end - first);
        table.appendRows(table_, first, end);
        first = end;
    }
    table.append("trailer\n<<\n");
    table.append(updateTrailerEntries(xref, table_.size()));
    table.append(">>\nstartxref\n");
    table.appendNumber(xrefOffset);
    table.append("\n%%EOF\n");
    table.flush();
}
