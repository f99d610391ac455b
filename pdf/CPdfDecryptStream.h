#pragma once

#include "pdf/CPdfStream.h"

#include <cstdint>
#include <string>

class CPdfSecurityHandler;

// The decrypted data of one stream object of a protected file. The encrypted bytes are read
// from the window over them, and decrypted with the object's key, at the first read; a reader
// that never reads the data costs nothing.
class CPdfDecryptStream : public CPdfStream {
  public:
    // Takes over the caller's reference to raw; the handler outlives the stream.
    CPdfDecryptStream(CPdfStream* raw, const CPdfSecurityHandler& security, int64_t number,
                      int64_t generation);
    ~CPdfDecryptStream() override;

    void rewind() override { pos_ = 0; }
    int getChar() override;
    int peekChar() override;
    size_t getChars(unsigned char* out, size_t count) override;
    const CPdfElement& getDict() const override;
    uint64_t getPos() const override { return pos_; }
    void setPos(int64_t offset, int origin = 0) override;
    uint64_t getStart() const override { return 0; }
    void shiftStart(int64_t) override {}
    uint64_t getLength() const override;
    CPdfStream* openSubStream(uint64_t, uint64_t, const CPdfElement&) override { return nullptr; }

  private:
    // Reads and decrypts the data, once.
    const std::string& data();

    CPdfStream* raw_;
    const CPdfSecurityHandler& security_;
    int64_t number_;
    int64_t generation_;
    bool decrypted_ = false;
    std::string data_;
    uint64_t pos_ = 0;
};
