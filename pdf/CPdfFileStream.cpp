#include "pdf/CPdfFileStream.h"

#include "pdf/CPdfInputFile.h"
#include "pdf/Limits.h"

#include <algorithm>

CPdfFileStream::CPdfFileStream(CPdfInputFile& input, uint64_t start, uint64_t length,
                               const CPdfElement& dict)
    : dict_(dict), input_(input), fileSize_(input.size()), start_(start), length_(length),
      bufferPos_(start), chunk_(limits::kFileBufferMin) {
    // A window never reaches past the bytes the file holds.
    if (length_ != 0 && start_ < fileSize_ && length_ > fileSize_ - start_) {
        length_ = fileSize_ - start_;
    }
    rewind();
}

uint64_t CPdfFileStream::limitEnd() const {
    return length_ == 0 ? fileSize_ : std::min(fileSize_, start_ + length_);
}

void CPdfFileStream::rewind() {
    setPos(static_cast<int64_t>(start_), 0);
}

bool CPdfFileStream::refill() {
    bufferPos_ += endIndex_;
    readIndex_ = endIndex_ = 0;
    uint64_t end = limitEnd();
    if (bufferPos_ >= end) {
        return false;
    }
    size_t count = static_cast<size_t>(std::min<uint64_t>(chunk_, end - bufferPos_));
    if (buffer_.size() < count) {
        buffer_.resize(count);
    }
    const size_t got =
        input_.readDirect(bufferPos_, reinterpret_cast<char*>(buffer_.data()), count);
    endIndex_ = got;
    // Reading on sequentially: take larger blocks, so that long stretches cost few reads.
    chunk_ = std::min(chunk_ * 2, limits::kFileBufferMax);
    return got > 0;
}

int CPdfFileStream::getChar() {
    if (readIndex_ >= endIndex_ && !refill()) {
        return -1;
    }
    return buffer_[readIndex_++];
}

int CPdfFileStream::peekChar() {
    if (readIndex_ >= endIndex_ && !refill()) {
        return -1;
    }
    return buffer_[readIndex_];
}

size_t CPdfFileStream::getChars(unsigned char* out, size_t count) {
    size_t got = 0;
    while (got < count) {
        if (readIndex_ >= endIndex_ && !refill()) {
            break;
        }
        const size_t take = std::min(count - got, endIndex_ - readIndex_);
        std::copy_n(buffer_.data() + readIndex_, take, out + got);
        readIndex_ += take;
        got += take;
    }
    return got;
}

size_t CPdfFileStream::buffered(const unsigned char*& data) {
    if (readIndex_ >= endIndex_ && !refill()) {
        data = nullptr;
        return 0;
    }
    data = buffer_.data() + readIndex_;
    return endIndex_ - readIndex_;
}

void CPdfFileStream::skipBuffered(size_t count) {
    readIndex_ += std::min(count, endIndex_ - readIndex_);
}

uint64_t CPdfFileStream::getPos() const {
    return bufferPos_ + readIndex_;
}

void CPdfFileStream::setPos(int64_t offset, int origin) {
    int64_t base = 0;
    if (origin == 1) {
        base = static_cast<int64_t>(getPos());
    } else if (origin == 2) {
        base = static_cast<int64_t>(fileSize_);
    }
    int64_t target = offset;
    if (base > 0 && offset > INT64_MAX - base) {
        target = INT64_MAX;
    } else {
        target = base + offset;
    }
    uint64_t pos = target < 0 ? 0 : static_cast<uint64_t>(target);
    // A position inside the block already read needs no new read.
    if (pos >= bufferPos_ && pos <= bufferPos_ + endIndex_) {
        readIndex_ = static_cast<size_t>(pos - bufferPos_);
        return;
    }
    bufferPos_ = pos;
    readIndex_ = endIndex_ = 0;
    chunk_ = limits::kFileBufferMin;
}

void CPdfFileStream::shiftStart(int64_t bytes) {
    start_ = bytes < 0 && static_cast<uint64_t>(-bytes) > start_ ? 0 : start_ + bytes;
    bufferPos_ = start_;
    readIndex_ = endIndex_ = 0;
    chunk_ = limits::kFileBufferMin;
}

CPdfStream* CPdfFileStream::openSubStream(uint64_t start, uint64_t length,
                                          const CPdfElement& dict) {
    return new CPdfFileStream(input_, start, length, dict);
}
