#include "pdf/CPdfXRefLoader.h"

#include "pdf/CPdfArray.h"
#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfFileStream.h"
#include "pdf/CPdfInputFile.h"
#include "pdf/CPdfParser.h"
#include "pdf/CPdfTableScanner.h"
#include "pdf/CPdfXRefRepair.h"
#include "pdf/Limits.h"
#include "pdf/PdfSyntax.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr const char* kDamaged = "PDF file was damaged";
constexpr const char* kBadTable = "Couldn't parse an xref table";
constexpr const char* kBadStream = "Couldn't parse an xref stream";
constexpr const char* kBadStreamGeneration =
    "Wrong generation of xref entry while reading xref stream section";

// An offset or object stream number as a row holds it.
int64_t rowOffset(int64_t value) {
    return std::clamp<int64_t>(value, -XRefEntry::kMaxOffset - 1, XRefEntry::kMaxOffset);
}

// Out of line, so that setTableRow, which runs for every row, stays small.
[[noreturn, gnu::noinline]] void refuseGeneration(int64_t number, int64_t generation) {
    throw CPdfException(kBadTable, "the row of object " + std::to_string(number) +
                                       " gives generation " + std::to_string(generation) +
                                       " to an object in use");
}

// A row of a classic table. An object in use needs a generation that a table can name (five
// digits, up to 65535), or it could not be written again under the generation it has; the
// generation of a free row is never used, and is kept within that range.
inline void setTableRow(XRefEntry& row, int64_t number, int64_t offset, int64_t generation,
                        bool inUse) {
    if (inUse && (generation < 0 || generation > XRefEntry::kMaxGeneration)) {
        refuseGeneration(number, generation);
    }
    XRefEntry entry;
    entry.offset = rowOffset(offset);
    entry.generation =
        static_cast<int32_t>(std::clamp<int64_t>(generation, 0, XRefEntry::kMaxGeneration));
    entry.type = inUse ? 1 : 0;
    row = entry;
}

// "N G obj" for the rows of a table, one after the other (see expectedHeader).
struct HeaderText {
    char text[48] = {};
    size_t digits = 0; // the number's
    size_t length = 0;
    size_t number = SIZE_MAX; // none yet: the first is written
    int64_t generation = 0;
};

// The text of the header of number and generation, made from the one before: where the number
// is a few more than the one before under the same generation (the rows in use of a table, some
// rows between them in object streams), its digits are counted up in place; the text is written
// anew for another generation, a larger step or one digit more.
std::string_view expectedHeader(HeaderText& header, size_t number, int64_t generation) {
    constexpr size_t kMaxStep = 8;
    bool counted = false;
    if (number > header.number && number - header.number <= kMaxStep &&
        generation == header.generation) {
        counted = true;
        for (size_t step = header.number; step < number && counted; ++step) {
            counted = false;
            for (size_t i = header.digits; i-- > 0;) {
                if (header.text[i] != '9') {
                    ++header.text[i];
                    counted = true;
                    break;
                }
                header.text[i] = '0';
            }
        }
    }
    if (!counted) {
        char* end = std::to_chars(header.text, header.text + 20, number).ptr;
        header.digits = static_cast<size_t>(end - header.text);
        *end++ = ' ';
        end = std::to_chars(end, end + 20, generation).ptr;
        std::memcpy(end, " obj", 4);
        header.length = static_cast<size_t>(end + 4 - header.text);
        header.generation = generation;
    }
    header.number = number;
    return std::string_view(header.text, header.length);
}

// Whether the first count bytes at a and at b are the same; counts of 4 to 16 bytes (every
// header of a plain table's first million objects) compared as two words that may overlap.
inline bool sameBytes(const char* a, const char* b, size_t count) {
    auto same = [a, b, count](auto word) {
        decltype(word) a0 = 0;
        decltype(word) a1 = 0;
        decltype(word) b0 = 0;
        decltype(word) b1 = 0;
        std::memcpy(&a0, a, sizeof a0);
        std::memcpy(&b0, b, sizeof b0);
        std::memcpy(&a1, a + count - sizeof a1, sizeof a1);
        std::memcpy(&b1, b + count - sizeof b1, sizeof b1);
        return a0 == b0 && a1 == b1;
    };
    if (count >= 8 && count <= 16) {
        return same(uint64_t{0});
    }
    if (count >= 4 && count < 8) {
        return same(uint32_t{0});
    }
    return std::memcmp(a, b, count) == 0;
}

} // namespace

void CPdfXRef::load() {
    reset();
    std::string message;
    std::string cause;
    try {
        Loader(*this).run();
        readTrailerReferences();
        cause = firstMisplacedRow();
        message = kDamaged;
    } catch (const CPdfException& e) {
        message = e.message();
        cause = e.cause();
        if (cause.empty()) {
            cause = message;
        }
    }
    if (!cause.empty()) {
        reset();
        repaired_ = true;
        repairMessage_ = message;
        repairCause_ = cause;
        try {
            Repair(*this).run();
        } catch (const CPdfException& e) {
            throw CPdfException(message, cause + "; " + e.cause());
        }
    }
    trailer_.getDictionary()->setXRef(this);
}

int64_t CPdfXRef::maxRows() const {
    // A table can be no larger than the file could describe.
    return std::min<int64_t>(
        limits::kMaxObjectCount + 1,
        std::max<int64_t>(limits::kMinTableRows,
                          static_cast<int64_t>(file_->fileSize() / limits::kFileBytesPerTableRow)));
}

void CPdfXRef::reset() {
    entries_.clear();
    entries_.shrink_to_fit();
    trailer_.clear();
    root_ = {};
    info_ = {};
    startxrefOffset_ = 0;
    lastSectionIsStream_ = false;
    repaired_ = false;
    repairMessage_.clear();
    repairCause_.clear();
    forgetObjectStreams();
}

void CPdfXRef::readTrailerReferences() {
    if (!trailer_.is(ElementKind::Dictionary)) {
        throw CPdfException(kDamaged, "no trailer dictionary");
    }
    const CPdfDictionary* dict = trailer_.getDictionary();
    const CPdfElement* root = dict->find("Root");
    if (!root || !root->is(ElementKind::Reference)) {
        throw CPdfException(kDamaged, root ? "the trailer's /Root is no reference"
                                           : "no /Root in the trailer");
    }
    root_ = {root->getRefNumber(), root->getRefGeneration()};
    const CPdfElement* info = dict->find("Info");
    if (info && info->is(ElementKind::Reference)) {
        info_ = {info->getRefNumber(), info->getRefGeneration()};
    }
}

std::string CPdfXRef::firstMisplacedRow() {
    CPdfInputFile& input = file_->input();
    // A file read through its mapping is looked at there directly, without a call a row.
    const std::string_view mapped = input.mappedInput();
    HeaderText expected;
    // Row 0 is never an object's, whatever it says.
    for (size_t number = 1; number < entries_.size(); ++number) {
        const XRefEntry& row = entries_[number];
        if (row.type != 1) {
            continue;
        }
        auto where = [&] {
            return "the row of object " + std::to_string(number) + " (offset " +
                   std::to_string(static_cast<int64_t>(row.offset)) + ")";
        };
        std::string_view text;
        const uint64_t offset = static_cast<uint64_t>(row.offset);
        if (row.offset < 0 || (mapped.empty() ? !input.view(offset, 256, text) || text.empty()
                                              : offset >= mapped.size())) {
            return where() + " lies outside the file";
        }
        if (!mapped.empty()) {
            text = mapped.substr(static_cast<size_t>(offset), 256);
        }
        // The header as writers put it, "N G obj" with this row's number and generation, is
        // compared as bytes; any other text is read.
        const std::string_view plain = expectedHeader(expected, number, row.generation);
        const size_t length = plain.size();
        if (text.size() >= length && sameBytes(text.data(), plain.data(), length) &&
            (text.size() == length ||
             !pdf_syntax::isRegular(static_cast<unsigned char>(text[length])))) {
            continue;
        }
        const size_t at = pdf_syntax::skipWhitespace(text, 0);
        const auto header =
            at >= text.size() ? std::nullopt : pdf_syntax::readObjectHeader(text.substr(at));
        if (!header) {
            return where() + " does not lead to an object's header";
        }
        // A row that leads to another object's header names an object the file does not have
        // (writers leave such rows for objects they dropped): it is found as missing.
        if (header->number == static_cast<int64_t>(number) &&
            header->generation != row.generation) {
            return where() + " gives generation " + std::to_string(row.generation) +
                   ", its object has generation " + std::to_string(header->generation);
        }
    }
    return {};
}

CPdfXRef::Loader::Loader(CPdfXRef& xref) : xref_(xref) {}

void CPdfXRef::Loader::run() {
    fileSize_ = xref_.file_->fileSize();
    maxRows_ = xref_.maxRows();

    int64_t offset = findStartxref();
    xref_.startxrefOffset_ = offset;
    std::set<int64_t> visited;
    for (;;) {
        // A "Prev" chain that comes back to a section already read ends there.
        if (!visited.insert(offset).second) {
            break;
        }
        countSection();
        std::optional<int64_t> prev = readSection(offset, false);
        if (!prev) {
            break;
        }
        offset = *prev;
    }
}

void CPdfXRef::Loader::countSection() {
    if (++sections_ > limits::kMaxSections) {
        throw CPdfException(kDamaged, "more than " + std::to_string(limits::kMaxSections) +
                                          " cross-reference sections");
    }
}

int64_t CPdfXRef::Loader::findStartxref() {
    const uint64_t count = std::min<uint64_t>(1023, fileSize_);
    std::string tail(count, ' ');
    CPdfFileStream& file = *xref_.file_;
    file.setPos(static_cast<int64_t>(fileSize_ - count), 0);
    for (uint64_t i = 0; i < count; ++i) {
        int c = file.getChar();
        tail[i] = c <= 0 ? ' ' : static_cast<char>(c);
    }
    size_t at = tail.rfind("startxref");
    if (at == std::string::npos) {
        throw CPdfException(kDamaged, "startxref not found in the last " + std::to_string(count) +
                                          " bytes of the file");
    }
    size_t i = at + 9;
    while (i < tail.size() && pdf_syntax::isWhitespace(static_cast<unsigned char>(tail[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < tail.size() && (tail[i] == '-' || tail[i] == '+')) {
        negative = tail[i] == '-';
        ++i;
    }
    // Held far below the 64-bit range: offsets are added to the header's position.
    uint64_t value = 0;
    bool capped = false;
    pdf_syntax::readDigits(tail, i, INT64_MAX / 16, value, capped);
    if (value == 0 || negative) {
        throw CPdfException(kDamaged, "no offset greater than 0 after startxref");
    }
    return static_cast<int64_t>(value);
}

std::optional<int64_t> CPdfXRef::Loader::offsetEntry(const CPdfElement& trailer, const char* key) {
    const CPdfElement* value = trailer.getDictionary()->find(key);
    if (!value) {
        return std::nullopt;
    }
    // An offset given indirectly cannot be followed while the table is being read, and
    // leaving it out would lose the objects listed there: the file is refused.
    if (value->is(ElementKind::Reference)) {
        throw CPdfException(kDamaged, std::string("/") + key + " is given as a reference");
    }
    if (value->is(ElementKind::Integer) && value->getInteger64() < 0) {
        throw CPdfException(kDamaged, std::string("/") + key + " is negative (" +
                                          std::to_string(value->getInteger64()) + ")");
    }
    if (!value->is(ElementKind::Integer)) {
        return std::nullopt;
    }
    return value->getInteger64();
}

std::optional<int64_t> CPdfXRef::Loader::readSection(int64_t offset, bool hybridStream) {
    uint64_t position = offset < 0 || static_cast<uint64_t>(offset) > fileSize_
                            ? fileSize_
                            : static_cast<uint64_t>(offset);
    CPdfStream* window = xref_.file_->openSubStream(position, 0, CPdfXRef::nullElement());
    // The parser below takes its own reference; this one is dropped on every way out.
    std::unique_ptr<CPdfStream, void (*)(CPdfStream*)> hold(window,
                                                            [](CPdfStream* s) { s->release(); });
    if (!hybridStream) {
        CPdfTableScanner scanner(*window);
        if (scanner.next().isWord("xref")) {
            return readTable(scanner, *window);
        }
        window->setPos(static_cast<int64_t>(position), 0);
    }
    window->addRef();
    CPdfParser parser(nullptr, window);
    CPdfElement first;
    parser.parseObject(first);
    if (!first.is(ElementKind::Integer)) {
        throw CPdfException(hybridStream ? kBadStream : "Couldn't parse an xref",
                            "no cross-reference table or stream at offset " +
                                std::to_string(offset));
    }
    CPdfElement generation;
    CPdfElement keyword;
    CPdfElement stream;
    parser.parseObject(generation);
    if (generation.is(ElementKind::Integer)) {
        parser.parseObject(keyword);
        if (keyword.isKeyword("obj")) {
            parser.parseObject(stream);
        }
    }
    if (!stream.is(ElementKind::Stream) ||
        !stream.getStream()->getDict().is(ElementKind::Dictionary)) {
        throw CPdfException(kBadStream, "the object at offset " + std::to_string(offset) +
                                            " is no stream with a dictionary");
    }
    return readStream(stream, hybridStream);
}

void CPdfXRef::Loader::grow(int64_t first, int64_t count) {
    if (first < 0 || count < 0 || first > maxRows_ || count > maxRows_ - first) {
        throw CPdfException(kDamaged, std::to_string(count) + " rows from object " +
                                          std::to_string(first) + " do not fit the " +
                                          std::to_string(maxRows_) + " rows this file can have");
    }
    if (static_cast<size_t>(first + count) > xref_.entries_.size()) {
        xref_.entries_.resize(static_cast<size_t>(first + count));
    }
}

std::optional<int64_t> CPdfXRef::Loader::readTable(CPdfTableScanner& scanner, CPdfStream& window) {
    using Kind = CPdfTableScanner::Kind;
    for (;;) {
        CPdfTableScanner::Token head = scanner.next();
        if (head.kind == Kind::Word) {
            if (!head.isWord("trailer")) {
                throw CPdfException(kBadTable,
                                    "'" + head.text + "' where a subsection or the trailer begins");
            }
            break;
        }
        CPdfTableScanner::Token countToken;
        if (head.kind == Kind::Integer) {
            countToken = scanner.next();
        }
        if (head.kind != Kind::Integer || countToken.kind != Kind::Integer || head.value < 0 ||
            countToken.value < 0) {
            throw CPdfException(kBadTable, "a subsection does not begin with its first object "
                                           "number and its count");
        }
        const int64_t first = head.value;
        const int64_t count = countToken.value;
        grow(first, count);
        for (int64_t number = first; number < first + count; ++number) {
            // Rows in the layout writers use, read in runs from the bytes at hand; the row
            // after a run (or a row of another layout) is read one at a time.
            constexpr int64_t kRun = 64;
            CPdfTableScanner::StandardRow run[kRun];
            const size_t inRun = scanner.nextStandardRows(
                run, static_cast<size_t>(std::min(kRun, first + count - number)));
            for (size_t k = 0; k < inRun; ++k, ++number) {
                XRefEntry& row = xref_.entries_[static_cast<size_t>(number)];
                if (row.offset == -1) { // rows of newer sections stay
                    setTableRow(row, number, run[k].offset, run[k].generation, run[k].inUse);
                }
            }
            if (number == first + count) {
                break;
            }
            XRefEntry& row = xref_.entries_[static_cast<size_t>(number)];
            int64_t standardOffset = 0;
            int64_t standardGeneration = 0;
            bool inUse = false;
            if (scanner.nextStandardRow(standardOffset, standardGeneration, inUse)) {
                if (row.offset == -1) { // rows of newer sections stay
                    setTableRow(row, number, standardOffset, standardGeneration, inUse);
                }
                continue;
            }
            CPdfTableScanner::Token offset = scanner.next();
            CPdfTableScanner::Token generation = scanner.next();
            CPdfTableScanner::Token type = scanner.next();
            if (offset.kind != Kind::Integer || generation.kind != Kind::Integer ||
                !(type.isWord("n") || type.isWord("f"))) {
                throw CPdfException(kBadTable, "the row of object " + std::to_string(number) +
                                                   " is not an offset, a generation and n or f");
            }
            scanner.skipRowComment();
            if (row.offset == -1) { // rows of newer sections stay
                setTableRow(row, number, offset.value, generation.value, type.isWord("n"));
            }
        }
    }
    window.addRef();
    CPdfParser parser(nullptr, &window);
    CPdfElement trailer;
    parser.parseObject(trailer);
    if (!trailer.is(ElementKind::Dictionary)) {
        throw CPdfException("Trailer dictionary is wrong type",
                            "no dictionary after the table's trailer keyword");
    }
    if (xref_.trailer_.is(ElementKind::None)) {
        xref_.trailer_.assign(trailer);
    }
    // A hybrid file keeps the objects of its object streams in the cross-reference stream
    // that the trailer names; its rows come before those of older sections.
    if (std::optional<int64_t> stream = offsetEntry(trailer, "XRefStm")) {
        readHybridStream(*stream);
    }
    return offsetEntry(trailer, "Prev");
}

void CPdfXRef::Loader::readHybridStream(int64_t offset) {
    if (!visitedHybrid_.insert(offset).second) {
        return;
    }
    countSection();
    readSection(offset, true);
}

std::optional<int64_t> CPdfXRef::Loader::readStream(const CPdfElement& streamObject,
                                                    bool hybridStream) {
    CPdfStream& stream = *streamObject.getStream();
    const CPdfElement& dictElement = stream.getDict();
    const CPdfDictionary* dict = dictElement.getDictionary();

    const CPdfElement* size = dict->find("Size");
    if (!size || !size->is(ElementKind::Integer)) {
        throw CPdfException("Size of xref Stream is wrong type",
                            "the cross-reference stream has no integer /Size");
    }
    grow(0, size->getInteger64());

    const CPdfElement* w = dict->find("W");
    if (!w || !w->is(ElementKind::Array)) {
        throw CPdfException("W item of xref Stream is wrong type",
                            "the cross-reference stream has no /W array");
    }
    const CPdfArray* widthArray = w->getArray();
    if (widthArray->getCount() < 3) {
        throw CPdfException("W item of xref Stream is wrong length",
                            "the cross-reference stream's /W has " +
                                std::to_string(widthArray->getCount()) + " of 3 widths");
    }
    int widths[3];
    int total = 0;
    for (int k = 0; k < 3; ++k) {
        const CPdfElement& item = widthArray->getItem(static_cast<size_t>(k));
        if (!item.is(ElementKind::Integer)) {
            throw CPdfException("W item of xref Stream is wrong type",
                                "width " + std::to_string(k + 1) +
                                    " of the cross-reference stream's /W is no integer");
        }
        // A field wider than 8 bytes cannot be held; rows without any byte cost nothing to
        // read and would let a tiny file ask for endless work.
        if (item.getInteger64() < 0 || item.getInteger64() > limits::kMaxXRefFieldWidth) {
            throw CPdfException(kDamaged, "cross-reference stream field width " +
                                              std::to_string(item.getInteger64()) +
                                              " is outside 0 to " +
                                              std::to_string(limits::kMaxXRefFieldWidth));
        }
        widths[k] = item.getInteger();
        total += widths[k];
    }
    if (total == 0) {
        throw CPdfException(kDamaged, "cross-reference stream rows of 0 bytes (/W [0 0 0])");
    }

    stream.rewind();
    int64_t rowsRead = 0;
    auto readRange = [&](int64_t first, int64_t count) {
        if (count < 0 || count > maxRows_ - rowsRead) {
            throw CPdfException(kDamaged, "the cross-reference stream asks for " +
                                              std::to_string(count) + " more rows, of the " +
                                              std::to_string(maxRows_) + " this file can have");
        }
        rowsRead += count;
        readStreamRows(stream, widths, first, count);
    };
    const CPdfElement* index = dict->find("Index");
    if (index && index->is(ElementKind::Array)) {
        const CPdfArray* pairs = index->getArray();
        // All ranges together are checked before any row is read.
        int64_t requested = 0;
        for (size_t k = 0; k + 1 < pairs->getCount(); k += 2) {
            const CPdfElement& count = pairs->getItem(k + 1);
            if (!pairs->getItem(k).is(ElementKind::Integer) || !count.is(ElementKind::Integer)) {
                break;
            }
            if (count.getInteger64() < 0 || count.getInteger64() > maxRows_ - requested) {
                throw CPdfException(kDamaged, "the cross-reference stream's /Index asks for " +
                                                  std::to_string(count.getInteger64()) +
                                                  " more rows, of the " + std::to_string(maxRows_) +
                                                  " this file can have");
            }
            requested += count.getInteger64();
        }
        for (size_t k = 0; k + 1 < pairs->getCount(); k += 2) {
            const CPdfElement& first = pairs->getItem(k);
            const CPdfElement& count = pairs->getItem(k + 1);
            if (!first.is(ElementKind::Integer) || !count.is(ElementKind::Integer)) {
                throw CPdfException("Index item of xref Stream is wrong type",
                                    "the cross-reference stream's /Index holds a pair that "
                                    "is not two integers");
            }
            readRange(first.getInteger64(), count.getInteger64());
        }
    } else {
        readRange(0, size->getInteger64());
    }

    if (xref_.trailer_.is(ElementKind::None)) {
        xref_.trailer_.setDictionary(dictElement.getDictionary());
        xref_.lastSectionIsStream_ = true;
    }
    if (hybridStream) {
        return std::nullopt; // the classic trailer's "Prev" goes on instead
    }
    return offsetEntry(dictElement, "Prev");
}

void CPdfXRef::Loader::readStreamRows(CPdfStream& stream, const int (&widths)[3], int64_t first,
                                      int64_t count) {
    grow(first, count);
    const size_t rowBytes = static_cast<size_t>(widths[0] + widths[1] + widths[2]);
    unsigned char bytes[3 * limits::kMaxXRefFieldWidth];
    for (int64_t number = first; number < first + count; ++number) {
        if (stream.getChars(bytes, rowBytes) != rowBytes) {
            throw CPdfException("Unexpected EOF while reading xref stream section",
                                "the cross-reference stream ends before the row of object " +
                                    std::to_string(number));
        }
        uint64_t fields[3] = {0, 0, 0};
        size_t at = 0;
        for (int k = 0; k < 3; ++k) {
            for (int b = 0; b < widths[k]; ++b) {
                fields[k] = (fields[k] << 8) | bytes[at++];
            }
        }
        const uint64_t type = widths[0] == 0 ? 1 : fields[0];
        if (type > 2) {
            throw CPdfException("Wrong type of xref entry while reading xref stream section",
                                "the row of object " + std::to_string(number) + " has type " +
                                    std::to_string(type));
        }
        XRefEntry& row = xref_.entries_[static_cast<size_t>(number)];
        if (row.offset == -1) {
            // As in a classic table: an object in use has a generation of five digits at most.
            if (type == 1 && fields[2] > static_cast<uint64_t>(XRefEntry::kMaxGeneration)) {
                throw CPdfException(kBadStreamGeneration,
                                    "the row of object " + std::to_string(number) +
                                        " gives generation " + std::to_string(fields[2]) +
                                        " to an object in use");
            }
            const uint64_t largestThird =
                static_cast<uint64_t>(type == 2 ? XRefEntry::kMaxIndex : XRefEntry::kMaxGeneration);
            row.type = static_cast<int32_t>(type);
            row.offset = static_cast<int64_t>(
                std::min<uint64_t>(fields[1], static_cast<uint64_t>(XRefEntry::kMaxOffset)));
            row.generation = static_cast<int32_t>(std::min(fields[2], largestThird));
        }
    }
}
