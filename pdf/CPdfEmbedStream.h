#pragma once

#include "pdf/CPdfStream.h"

// At most a limited number of bytes of another stream (not owned, no reference taken),
// read from that stream's current position.
class CPdfEmbedStream : public CPdfStream {
  public:
    CPdfEmbedStream(CPdfStream* underlying, const CPdfElement& dict, bool limited, int64_t limit);

    void rewind() override {}
    int getChar() override;
    int peekChar() override;
    const CPdfElement& getDict() const override { return dict_; }
    uint64_t getPos() const override { return underlying_->getPos(); }
    void setPos(int64_t, int = 0) override {}
    uint64_t getStart() const override { return 0; }
    void shiftStart(int64_t) override {}
    uint64_t getLength() const override { return 0; }
    CPdfStream* openSubStream(uint64_t, uint64_t, const CPdfElement&) override { return nullptr; }

  private:
    CPdfElement dict_;
    CPdfStream* underlying_;
    bool limited_;
    int64_t remaining_;
};
