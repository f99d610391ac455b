#pragma once

#include "pdf/CPdfElement.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A reference-counted source of bytes, delivered one at a time, -1 at the end.
// Positions, starts and lengths are 64-bit so that large files are addressed exactly.
class CPdfStream {
  public:
    CPdfStream() = default;
    CPdfStream(const CPdfStream&) = delete;
    CPdfStream& operator=(const CPdfStream&) = delete;

    virtual void addRef() { ++refCount_; }
    // The last release destroys the stream.
    virtual void release();
    virtual void rewind() = 0;
    virtual void close() {}
    virtual int getChar() = 0;
    // The next byte before any predictor; only Flate streams have one.
    virtual int getRawChar();
    virtual int peekChar() = 0;
    // Reads up to count bytes into out, as count calls of getChar would; fewer only at the end.
    // Returns how many were read.
    virtual size_t getChars(unsigned char* out, size_t count);
    // Appends the rest of the data to out, the bytes getChars would give up to the end, read
    // straight into out. False, with out cut back to its size before, when more than limit
    // bytes would be appended.
    virtual bool readRest(std::string& out, size_t limit);
    // The bytes at the current position that the stream has already read ahead, for a reader
    // that looks at many small pieces in place: data points at them and stays valid until the
    // next call on the stream. 0 for a stream that keeps none; more are read ahead first when
    // none are left. skipBuffered passes over count of those bytes (at most as many as given).
    virtual size_t buffered(const unsigned char*& data) {
        data = nullptr;
        return 0;
    }
    virtual void skipBuffered(size_t /*count*/) {}
    virtual const CPdfElement& getDict() const = 0;
    virtual uint64_t getPos() const = 0;
    // origin as for fseek: 0 from the beginning, 1 from the current position, 2 from the end.
    virtual void setPos(int64_t offset, int origin = 0) = 0;
    virtual uint64_t getStart() const = 0;
    virtual void shiftStart(int64_t bytes) = 0;
    // 0 means no limit.
    virtual uint64_t getLength() const = 0;
    // A new stream (reference count 1) over a byte range of the same source, or nullptr.
    virtual CPdfStream* openSubStream(uint64_t start, uint64_t length, const CPdfElement& dict) = 0;
    virtual ~CPdfStream() = default;

  protected:
    int32_t refCount_ = 1;
};
