#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CPdfFlateStream;

// Undoes a PNG (10 and above) or TIFF (2) predictor over the rows of a Flate stream.
class CPdfPredictor {
  public:
    // Parameters must already be validated by the caller (see isValid).
    CPdfPredictor(CPdfFlateStream* source, int predictor, int columns, int colors,
                  int bitsPerComponent);

    // Parameters that give a positive, bounded row size.
    static bool isValid(int predictor, int columns, int colors, int bitsPerComponent);

    int getChar();
    int peekChar();
    // Up to count bytes into out, as count calls of getChar would give them.
    size_t getChars(unsigned char* out, size_t count);

  private:
    bool fetchRow();
    void undoTiff();

    CPdfFlateStream* source_;
    int predictor_;
    int colors_;
    int bitsPerComponent_;
    int64_t valuesPerRow_;
    int bytesPerPixel_;
    int64_t rowBytes_;
    // Allocated at the first read, so that a stream that is never read costs nothing. Both
    // rows start with one pixel of zeros, the left and up-left bytes of the first pixel.
    std::vector<uint8_t> row_;
    std::vector<uint8_t> previous_; // the row before, the up bytes of the PNG filters
    std::vector<uint8_t> encoded_;  // the row's bytes as the stream holds them, after its tag
    int64_t readPos_;
    bool failed_ = false;
};
