#include "pdf/CPdfPredictor.h"

#include "pdf/CPdfFlateStream.h"
#include "pdf/Limits.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxColors = 256;

int paeth(int left, int up, int upLeft)
{
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

bool CPdfPredictor::isValid(int predictor, int columns, int colors, int bitsPerComponent)
{
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
    : source_(source), predictor_(predictor), colors_(colors),
      bitsPerComponent_(bitsPerComponent), valuesPerRow_(int64_t(columns) * colors),
      bytesPerPixel_((colors * bitsPerComponent + 7) / 8),
      rowBytes_(bytesPerPixel_ + (valuesPerRow_ * bitsPerComponent + 7) / 8),
      readPos_(rowBytes_)
{
}

int CPdfPredictor::getChar()
{
    if (readPos_ >= rowBytes_ && !fetchRow()) {
        return -1;
    }
    return row_[readPos_++];
}

size_t CPdfPredictor::getChars(unsigned char* out, size_t count)
{
    size_t got = 0;
    while (got < count) {
        if (readPos_ >= rowBytes_ && !fetchRow()) {
            break;
        }
        const size_t take =
            static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count - got), rowBytes_ - readPos_));
        std::memcpy(out + got, row_.data() + readPos_, take);
        readPos_ += static_cast<int64_t>(take);
        got += take;
    }
    return got;
}

int CPdfPredictor::peekChar()
{
    if (readPos_ >= rowBytes_ && !fetchRow()) {
        return -1;
    }
    return row_[readPos_];
}

bool CPdfPredictor::fetchRow()
{
    if (failed_) {
        return false;
    }
    if (row_.empty()) {
        row_.assign(static_cast<size_t>(rowBytes_), 0);
        upLeft_.assign(static_cast<size_t>(bytesPerPixel_), 0);
    }
    int tag = 0;
    if (predictor_ >= 10) {
        tag = source_->getRawChar();
        if (tag < 0) {
            failed_ = true;
            return false;
        }
    }
    std::fill(upLeft_.begin(), upLeft_.end(), 0);
    const int bpp = bytesPerPixel_;
    for (int64_t i = bpp; i < rowBytes_; ++i) {
        int b = source_->getRawChar();
        if (b < 0) {
            failed_ = true;
            return false;
        }
        int up = row_[i];
        int left = row_[i - bpp];
        // The previous row's byte at i - bpp was saved before this row overwrote it.
        uint8_t& saved = upLeft_[static_cast<size_t>(i % bpp)];
        int upLeft = saved;
        saved = static_cast<uint8_t>(up);
        int value = b;
        switch (tag) {
        case 1:
            value = b + left;
            break;
        case 2:
            value = b + up;
            break;
        case 3:
            value = b + (up + left) / 2;
            break;
        case 4:
            value = b + paeth(left, up, upLeft);
            break;
        default:
            break;
        }
        row_[i] = static_cast<uint8_t>(value);
    }
    if (predictor_ == 2) {
        undoTiff();
    }
    readPos_ = bpp;
    return true;
}

void CPdfPredictor::undoTiff()
{
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
            data[bit >> 3] = static_cast<uint8_t>((v & 1u) ? (data[bit >> 3] | m) : (data[bit >> 3] & ~m));
        }
    };
    for (int64_t i = colors_; i < valuesPerRow_; ++i) {
        set(i, (get(i) + get(i - colors_)) & mask);
    }
}
