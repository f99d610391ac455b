#pragma once

#include "pdf/CPdfStream.h"

#include <vector>

class CPdfInputFile;

// A byte range of the input file (not owned), with positions from its header like every file
// offset, read through a buffer.
class CPdfFileStream : public CPdfStream {
  public:
    // length 0: up to the end of the file.
    CPdfFileStream(CPdfInputFile& input, uint64_t start, uint64_t length, const CPdfElement& dict);

    void rewind() override;
    int getChar() override;
    int peekChar() override;
    size_t getChars(unsigned char* out, size_t count) override;
    size_t buffered(const unsigned char*& data) override;
    void skipBuffered(size_t count) override;
    const CPdfElement& getDict() const override { return dict_; }
    uint64_t getPos() const override;
    void setPos(int64_t offset, int origin = 0) override;
    uint64_t getStart() const override { return start_; }
    void shiftStart(int64_t bytes) override;
    uint64_t getLength() const override { return length_; }
    CPdfStream* openSubStream(uint64_t start, uint64_t length, const CPdfElement& dict) override;
    // Bytes of the file after its header.
    uint64_t fileSize() const { return fileSize_; }
    // The input file the stream reads.
    CPdfInputFile& input() const { return input_; }

  private:
    bool refill();
    uint64_t limitEnd() const;

    CPdfElement dict_;
    CPdfInputFile& input_;
    uint64_t fileSize_;
    uint64_t start_;
    uint64_t length_;
    uint64_t bufferPos_;
    std::vector<unsigned char> buffer_;
    size_t chunk_; // size of the next read; grows while the stream reads on sequentially
    size_t readIndex_ = 0;
    size_t endIndex_ = 0;
};
