#include "pdf/CPdfPredictor.h"

#include "pdf/CPdfFlateStream.h"
#include "pdf/Limits.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxColors = 256;

int paeth(int left, int up, int upLeft) {
    int p = left + up - upLeft;
    int pa = std::abs(p - left);
    int pb = std::abs(p - up);
    int pc = std::abs(p - upLeft);
    if (pa <= pb && pa <= pc) {
        return left;
    }
    return pb <= pc ? up : upLeft;
}

} // namespace

bool CPdfPredictor::isValid(int predictor, int columns, int colors, int bitsPerComponent) {
    if (predictor == 1) {
        return true;
    }
    if (columns < 1 || colors < 1 || colors > kMaxColors) {
        return false;
    }
    if (bitsPerComponent != 1 && bitsPerComponent != 2 && bitsPerComponent != 4 &&
        bitsPerComponent != 8 && bitsPerComponent != 16) {
        return false;
    }
    int64_t bits = int64_t(columns) * colors * bitsPerComponent; // < 2^31 * 2^8 * 2^4
    int64_t rowBytes = (int64_t(colors) * bitsPerComponent + 7) / 8 + (bits + 7) / 8;
    return rowBytes <= limits::kMaxPredictorRowBytes;
}

CPdfPredictor::CPdfPredictor(CPdfFlateStream* source, int predictor, int columns, int colors,
                             int bitsPerComponent)
    : source_(source), predictor_(predictor), colors_(colors), bitsPerComponent_(bitsPerComponent),
      valuesPerRow_(int64_t(columns) * colors), bytesPerPixel_((colors * bitsPerComponent + 7) / 8),
      rowBytes_(bytesPerPixel_ + (valuesPerRow_ * bitsPerComponent + 7) / 8), readPos_(rowBytes_) {}

int CPdfPredictor::getChar() {
    if (readPos_ >= rowBytes_ && !fetchRow()) {
        return -1;
    }
    return row_[readPos_++];
}

size_t CPdfPredictor::getChars(unsigned char* out, size_t count) {
    size_t got = 0;
    while (got < count) {
        if (readPos_ >= rowBytes_ && !fetchRow()) {
            break;
        }
        const size_t take = static_cast<size_t>(
            std::min<int64_t>(static_cast<int64_t>(count - got), rowBytes_ - readPos_));
        std::memcpy(out + got, row_.data() + readPos_, take);
        readPos_ += static_cast<int64_t>(take);
        got += take;
    }
    return got;
}

int CPdfPredictor::peekChar() {
    if (readPos_ >= rowBytes_ && !fetchRow()) {
        return -1;
    }
    return row_[readPos_];
}

bool CPdfPredictor::fetchRow() {
    if (failed_) {
        return false;
    }
    const int bpp = bytesPerPixel_;
    const size_t width = static_cast<size_t>(rowBytes_ - bpp);
    if (row_.empty()) {
        row_.assign(static_cast<size_t>(rowBytes_), 0);
        previous_.assign(static_cast<size_t>(rowBytes_), 0);
        encoded_.assign(width, 0);
    }
    int tag = 0;
    if (predictor_ >= 10) {
        tag = source_->getRawChar();
        if (tag < 0) {
            failed_ = true;
            return false;
        }
    }
    // The whole row at once; a row cut short ends the data.
    if (source_->getRawChars(encoded_.data(), width) != width) {
        failed_ = true;
        return false;
    }
    row_.swap(previous_);
    uint8_t* row = row_.data();
    const uint8_t* up = previous_.data();
    const uint8_t* in = encoded_.data();
    const size_t end = static_cast<size_t>(rowBytes_);
    const size_t first = static_cast<size_t>(bpp);
    // Byte i of the row takes byte i - bpp of the encoded bytes; left and up-left are one
    // pixel back, in this row and the one before.
    switch (tag) {
    case 1:
        for (size_t i = first; i < end; ++i) {
            row[i] = static_cast<uint8_t>(in[i - first] + row[i - first]);
        }
        break;
    case 2:
        for (size_t i = first; i < end; ++i) {
            row[i] = static_cast<uint8_t>(in[i - first] + up[i]);
        }
        break;
    case 3:
        for (size_t i = first; i < end; ++i) {
            row[i] = static_cast<uint8_t>(in[i - first] + (up[i] + row[i - first]) / 2);
        }
        break;
    case 4:
        for (size_t i = first; i < end; ++i) {
            row[i] =
                static_cast<uint8_t>(in[i - first] + paeth(row[i - first], up[i], up[i - first]));
        }
        break;
    default:
        std::memcpy(row + first, in, width);
        break;
    }
    if (predictor_ == 2) {
        undoTiff();
    }
    readPos_ = bpp;
    return true;
}

void CPdfPredictor::undoTiff() {
    uint8_t* data = row_.data() + bytesPerPixel_;
    if (bitsPerComponent_ == 8) {
        for (int64_t i = colors_; i < valuesPerRow_; ++i) {
            data[i] = static_cast<uint8_t>(data[i] + data[i - colors_]);
        }
        return;
    }
    // Samples narrower or wider than a byte: undo the differencing sample by sample, each
    // sample taken big-endian at its bit position, modulo 2^bitsPerComponent.
    const int bits = bitsPerComponent_;
    const uint32_t mask = (1u << bits) - 1;
    auto get = [&](int64_t index) {
        uint32_t v = 0;
        int64_t bit = index * bits;
        for (int k = 0; k < bits; ++k, ++bit) {
            v = (v << 1) | ((data[bit >> 3] >> (7 - (bit & 7))) & 1u);
        }
        return v;
    };
    auto set = [&](int64_t index, uint32_t v) {
        int64_t bit = index * bits + bits - 1;
        for (int k = 0; k < bits; ++k, --bit, v >>= 1) {
            uint8_t m = static_cast<uint8_t>(1u << (7 - (bit & 7)));
            data[bit >> 3] =
                static_cast<uint8_t>((v & 1u) ? (data[bit >> 3] | m) : (data[bit >> 3] & ~m));
        }
    };
    for (int64_t i = colors_; i < valuesPerRow_; ++i) {
        set(i, (get(i) + get(i - colors_)) & mask);
    }
}
