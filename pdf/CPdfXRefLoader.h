#pragma once

#include "pdf/CPdfXRef.h"

#include <cstdint>
#include <optional>
#include <set>

class CPdfParser;
class CPdfStream;
class CPdfTableScanner;

// Reads the cross-reference data of a file into its CPdfXRef: the last "startxref", the section
// there, the cross-reference stream named by a classic trailer's "XRefStm", and every older
// section through "Prev". Every count and size the file gives is checked before it is used.
class CPdfXRef::Loader {
  public:
    explicit Loader(CPdfXRef& xref);
    void run();

  private:
    int64_t findStartxref();
    // Reads one section; its "Prev" offset when it has one.
    std::optional<int64_t> readSection(int64_t offset, bool hybridStream);
    std::optional<int64_t> readTable(CPdfTableScanner& scanner, CPdfStream& window);
    std::optional<int64_t> readStream(const CPdfElement& streamObject, bool hybridStream);
    void readStreamRows(CPdfStream& stream, const int (&widths)[3], int64_t first, int64_t count);
    void readHybridStream(int64_t offset);
    void grow(int64_t first, int64_t count);
    void countSection();
    static std::optional<int64_t> offsetEntry(const CPdfElement& trailer, const char* key);

    CPdfXRef& xref_;
    uint64_t fileSize_ = 0;
    int64_t maxRows_ = 0;
    int sections_ = 0;
    std::set<int64_t> visitedHybrid_;
};
