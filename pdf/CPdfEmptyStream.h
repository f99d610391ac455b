#pragma once

#include "pdf/CPdfStream.h"

// The data of a stream object whose /Length is 0: no bytes at all. (A window of length 0 would
// mean "no limit" and read on to the end of its source.) It keeps the position where the data
// would start, so that getStart and getPos tell the truth.
class CPdfEmptyStream : public CPdfStream {
  public:
    CPdfEmptyStream(uint64_t start, const CPdfElement& dict) : dict_(dict), start_(start) {}

    void rewind() override {}
    int getChar() override { return -1; }
    int peekChar() override { return -1; }
    const CPdfElement& getDict() const override { return dict_; }
    uint64_t getPos() const override { return start_; }
    void setPos(int64_t, int = 0) override {}
    uint64_t getStart() const override { return start_; }
    void shiftStart(int64_t) override {}
    uint64_t getLength() const override { return 0; }
    CPdfStream* openSubStream(uint64_t, uint64_t, const CPdfElement&) override { return nullptr; }

  private:
    CPdfElement dict_;
    uint64_t start_;
};
