#include "pdf/CPdfMemoryStream.h"

#include <algorithm>
#include <cstdint>

CPdfMemoryStream::CPdfMemoryStream(const unsigned char* data, size_t size, uint64_t start,
                                   uint64_t length, const CPdfElement& dict)
    : dict_(dict), data_(data), size_(data ? size : 0), start_(std::min<uint64_t>(start, size_)),
      length_(length), pos_(start_) {
    // A window never reaches past the end of the buffer.
    if (length_ > size_ - start_) {
        length_ = size_ - start_;
    }
}

uint64_t CPdfMemoryStream::end() const {
    return length_ == 0 ? size_ : start_ + length_;
}

void CPdfMemoryStream::rewind() {
    pos_ = start_;
}

int CPdfMemoryStream::getChar() {
    if (pos_ >= end()) {
        return -1;
    }
    return data_[pos_++];
}

int CPdfMemoryStream::peekChar() {
    if (pos_ >= end()) {
        return -1;
    }
    return data_[pos_];
}

void CPdfMemoryStream::setPos(int64_t offset, int origin) {
    int64_t base = 0;
    if (origin == 1) {
        base = static_cast<int64_t>(pos_);
    } else if (origin == 2) {
        base = static_cast<int64_t>(size_);
    }
    int64_t target = base > 0 && offset > INT64_MAX - base ? INT64_MAX : base + offset;
    pos_ = target < 0 ? 0 : static_cast<uint64_t>(target);
}

void CPdfMemoryStream::shiftStart(int64_t bytes) {
    int64_t target = static_cast<int64_t>(start_) + bytes;
    start_ = std::min<uint64_t>(target < 0 ? 0 : static_cast<uint64_t>(target), size_);
    if (length_ > size_ - start_) {
        length_ = size_ - start_;
    }
    pos_ = start_;
}

CPdfStream* CPdfMemoryStream::openSubStream(uint64_t start, uint64_t length,
                                            const CPdfElement& dict) {
    return new CPdfMemoryStream(data_, size_, start, length, dict);
}
