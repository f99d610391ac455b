#pragma once

#include "pdf/CPdfXRef.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CPdfInputFile;

// Rebuilds the cross-reference table of a file whose own cannot be used, by one reading of the
// whole file, as viewers do: every "N G obj" header outside the objects' strings, comments and
// stream data (the last definition of a number wins, as in an updated file), the members of
// every object stream (a later plain definition wins over an earlier member), the trailer from
// the last "trailer" dictionary or cross-reference stream, and, when that names no catalog that
// was found, /Root from the last /Type /Catalog object. When that trailer names no /Encrypt,
// the /Encrypt and /ID of the last trailer or cross-reference stream that names one are taken
// (a linearized file names it in its first page's trailer only): a protected file stays
// protected. The rows grow with the headers found,
// never past the rows a table of the file may have.
class CPdfXRef::Repair {
  public:
    explicit Repair(CPdfXRef& xref);
    // Throws "PDF file was damaged" with the first cause and the rebuild's when no catalog is
    // found, or when an encryption dictionary is found that no trailer names.
    void run();

  private:
    struct Found {
        int32_t number = -1;
        int32_t generation = 0;
        int64_t offset = -1; // -1: none found
    };

    void scan();
    // The object whose header "number generation obj" starts at offset: recorded, framed by
    // its keyword (and a stream by its data), and examined for what the rebuild needs. The
    // position where the scan goes on.
    uint64_t readObject(uint64_t offset, int64_t number, int64_t generation, size_t bodyStart);
    // The end of a stream's data: after its "endstream", found by a /Length that ends there or
    // else by the first "endstream" after the data's start.
    uint64_t skipStreamData(uint64_t keywordAt, int64_t length);
    // A classic trailer's dictionary after the "trailer" keyword at offset.
    void readTrailerDictionary(uint64_t offset);
    void record(int64_t number, int64_t generation, uint64_t offset);
    void addObjectStreamMembers();
    void chooseTrailer();
    // Where the chosen trailer names no /Encrypt: the protection named by another trailer, or
    // the refusal of a file whose encryption dictionary no trailer names.
    void keepProtection();

    CPdfXRef& xref_;
    CPdfInputFile& input_;
    uint64_t size_ = 0;
    int64_t maxRows_ = 0;
    // Where no "endstream" follows any more: searches that start there find none.
    uint64_t noEndstreamFrom_ = UINT64_MAX;
    // Object streams found, by the offset of their header, in file order.
    std::vector<std::pair<uint64_t, int32_t>> objectStreams_;
    Found lastCatalog_;
    Found lastXRefStream_;
    // The last cross-reference stream whose dictionary has /Encrypt.
    Found lastProtectedXRefStream_;
    // The last dictionary read as a standard security handler's (/Filter /Standard).
    Found lastSecurityDictionary_;
    CPdfElement lastTrailer_;
    int64_t lastTrailerAt_ = -1;
    // The last classic trailer that has /Encrypt.
    CPdfElement lastProtectedTrailer_;
    int64_t lastProtectedTrailerAt_ = -1;
};
