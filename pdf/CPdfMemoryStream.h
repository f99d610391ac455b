#pragma once

#include "pdf/CPdfStream.h"

#include <cstddef>

// A byte range of memory that the caller keeps alive. Used for parsing raw object text that
// is already in memory, and by the tests and fuzz targets. A stream object parsed from it
// reads its data from the same memory when it is read, so the memory must outlive it too.
class CPdfMemoryStream : public CPdfStream {
  public:
    // length 0: up to the end of the buffer.
    CPdfMemoryStream(const unsigned char* data, size_t size, uint64_t start, uint64_t length,
                     const CPdfElement& dict);

    void rewind() override;
    int getChar() override;
    int peekChar() override;
    const CPdfElement& getDict() const override { return dict_; }
    uint64_t getPos() const override { return pos_; }
    void setPos(int64_t offset, int origin = 0) override;
    uint64_t getStart() const override { return start_; }
    void shiftStart(int64_t bytes) override;
    uint64_t getLength() const override { return length_; }
    CPdfStream* openSubStream(uint64_t start, uint64_t length, const CPdfElement& dict) override;

  private:
    uint64_t end() const;

    CPdfElement dict_;
    const unsigned char* data_;
    size_t size_;
    uint64_t start_;
    uint64_t length_;
    uint64_t pos_;
};
