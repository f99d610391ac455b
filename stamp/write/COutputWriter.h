#pragma once

#include "stamp/write/COutputFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CPdfSecurityHandler;
class CPdfXRef;

// One row of the output cross-reference table, packed into 8 bytes.
struct OutputXRefEntry {
    // An offset is held up to this; a larger one is stored as it, which a table cannot name
    // either (the table's writer refuses both).
    static constexpr uint64_t kMaxOffset = (uint64_t{1} << 40) - 1;
    static uint64_t held(uint64_t offset) { return offset < kMaxOffset ? offset : kMaxOffset; }

    // One 64-bit type for the three fields, so that the Microsoft layout (mingw) packs them
    // into 8 bytes as well.
    uint64_t offset : 40 = 0;
    uint64_t generation : 16 = 0;
    uint64_t inUse : 1 = false;
};
static_assert(sizeof(OutputXRefEntry) == 8);

// The output document as it is written: the file, the rows of its cross-reference table, and
// what ends it (a classic table and trailer, or the section of an incremental update).
class COutputWriter {
  public:
    // Creates the output, a temporary file beside name until it is committed; false, with
    // errno set, when it cannot be created. The table is empty until startRows.
    bool create(const std::string& name);
    bool isOpen() const { return file_ != nullptr; }
    COutputFile& file() { return *file_; }
    // The position of the next byte, from the origin.
    uint64_t offset() const { return file_->offset(); }
    void write(std::string_view bytes) { file_->write(bytes); }
    void writeNumber(int64_t value);

    size_t rowCount() const { return table_.size(); }
    const OutputXRefEntry& row(size_t number) const { return table_[number]; }
    OutputXRefEntry& row(size_t number) { return table_[number]; }
    // The rows made once the input's objects are known: the output's own objects follow them.
    void startRows(size_t inputRows, size_t capacity);
    // Appends count empty rows, for objects written later; the number of the first.
    size_t reserveRows(size_t count);
    // Writes "N" followed by text as object N, the next row of the table; its number.
    size_t addOutputObject(std::string_view text);
    // The handler of a protected input, whose protection the output's new and rewritten
    // objects take on (nullptr, the default, writes them as they are).
    void setSecurity(const CPdfSecurityHandler* security) { security_ = security; }
    // Writes an object of the output from its whole text ("N G obj ..."). For a protected
    // input it is encrypted first: a new object (fresh) in its strings and stream data, an
    // object of the input rewritten in its strings only (its stream data, if any, is the
    // input's, encrypted with the same key already).
    void writeObject(int64_t number, uint32_t generation, std::string_view text, bool fresh);
    // Sets a row; false for a number outside the table or a generation a table cannot hold.
    bool setOutputEntry(int64_t number, uint32_t generation, uint64_t offset, bool inUse);

    // The classic cross-reference table of every row, then the trailer naming the catalog and
    // (unless 0) the document information, with startxref at xrefOffset.
    void writeXRefTable();
    void writeTrailer(uint64_t xrefOffset, int32_t rootObject, int32_t infoObject);
    // The cross-reference section of an incremental update over the input xref reads: of the
    // kind the input's last section is, for the rows in use in this output.
    void writeUpdateSection(const CPdfXRef& xref);

  private:
    void writeUpdateTable(const CPdfXRef& xref);
    void writeUpdateStream(const CPdfXRef& xref);
    // The update's trailer entries, one a line: /Size (at least size), /Root, /Info and /ID
    // as the input's last trailer has them, and /Prev.
    std::string updateTrailerEntries(const CPdfXRef& xref, uint64_t size) const;

    std::unique_ptr<COutputFile> file_;
    std::vector<OutputXRefEntry> table_;
    const CPdfSecurityHandler* security_ = nullptr;
};
