#pragma once

#include "pdf/CPdfStream.h"
#include "pdf/Limits.h"

#include <memory>
#include <vector>
#include <zlib.h>

class CPdfPredictor;

// Decompresses FlateDecode data with zlib, optionally through a predictor. Reads once, from
// the beginning to the end; it does not rewind.
class CPdfFlateStream : public CPdfStream {
  public:
    // Takes over the caller's reference to underlying.
    CPdfFlateStream(CPdfStream* underlying, int predictor, int columns, int colors,
                    int bitsPerComponent);
    ~CPdfFlateStream() override;

    void rewind() override {}
    int getChar() override;
    int getRawChar() override;
    // Up to count bytes before any predictor into out, as count calls of getRawChar would give
    // them; fewer only at the end of the data.
    size_t getRawChars(unsigned char* out, size_t count);
    int peekChar() override;
    size_t getChars(unsigned char* out, size_t count) override;
    // Without a predictor and before any other read, inflates straight into out, in steps as
    // large as out can take; the bytes are those getChars would give, pieces dropped included.
    bool readRest(std::string& out, size_t limit) override;
    const CPdfElement& getDict() const override { return underlying_->getDict(); }
    uint64_t getPos() const override { return underlying_->getPos(); }
    void setPos(int64_t, int = 0) override {}
    uint64_t getStart() const override { return underlying_->getStart(); }
    void shiftStart(int64_t bytes) override { underlying_->shiftStart(bytes); }
    uint64_t getLength() const override { return underlying_->getLength(); }
    CPdfStream* openSubStream(uint64_t, uint64_t, const CPdfElement&) override { return nullptr; }

  private:
    // Sets zlib up for inflating; false when it could not be.
    bool startZlib();
    bool refill();
    bool feedInput(size_t chunk = limits::kFlateInputChunk);

    CPdfStream* underlying_;
    std::unique_ptr<CPdfPredictor> predictor_;
    z_stream zstream_{};
    bool zlibReady_ = false; // zlib is set up at the first read, not at construction
    bool ended_ = false;
    uint64_t compressedLeft_ = 0; // compressed bytes not yet taken from the underlying stream
    std::vector<unsigned char> input_;
    std::vector<unsigned char> output_;
    size_t readIndex_ = 0;
    size_t endIndex_ = 0;
};
