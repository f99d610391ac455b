#include "pdf/CPdfFlateStream.h"

#include "pdf/CPdfPredictor.h"
#include "pdf/Limits.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {
// Compressed bytes handed to zlib at a time when the whole data is read at once.
constexpr size_t kReadRestInputChunk = 65536;
// Decoded bytes made in one step of getChars: whole pieces, enough that zlib's cost per call
// is small against its cost per byte.
constexpr size_t kDecodeStep = 16 * limits::kFlateOutputChunk;
} // namespace

CPdfFlateStream::CPdfFlateStream(CPdfStream* underlying, int predictor, int columns, int colors,
                                 int bitsPerComponent)
    : underlying_(underlying), compressedLeft_(underlying ? underlying->getLength() : 0) {
    if (predictor != 1) {
        if (CPdfPredictor::isValid(predictor, columns, colors, bitsPerComponent)) {
            predictor_ =
                std::make_unique<CPdfPredictor>(this, predictor, columns, colors, bitsPerComponent);
        } else {
            ended_ = true; // rows of that size cannot be read: no data
        }
    }
}

CPdfFlateStream::~CPdfFlateStream() {
    if (zlibReady_) {
        inflateEnd(&zstream_);
    }
    if (underlying_) {
        underlying_->release();
    }
}

int CPdfFlateStream::getChar() {
    return predictor_ ? predictor_->getChar() : getRawChar();
}

int CPdfFlateStream::peekChar() {
    if (predictor_) {
        return predictor_->peekChar();
    }
    if (readIndex_ >= endIndex_ && !refill()) {
        return -1;
    }
    return output_[readIndex_];
}

int CPdfFlateStream::getRawChar() {
    if (readIndex_ >= endIndex_ && !refill()) {
        return -1;
    }
    return output_[readIndex_++];
}

size_t CPdfFlateStream::getChars(unsigned char* out, size_t count) {
    if (predictor_) {
        return predictor_->getChars(out, count);
    }
    return getRawChars(out, count);
}

size_t CPdfFlateStream::getRawChars(unsigned char* out, size_t count) {
    // Whole runs of the decoded piece at a time.
    size_t got = 0;
    while (got < count) {
        if (readIndex_ >= endIndex_ && !refill()) {
            break;
        }
        const size_t take = std::min(count - got, endIndex_ - readIndex_);
        std::memcpy(out + got, output_.data() + readIndex_, take);
        readIndex_ += take;
        got += take;
    }
    return got;
}

bool CPdfFlateStream::feedInput(size_t chunk) {
    // The compressed data is read lazily, a chunk at a time; bytes missing before /Length is
    // reached are given to zlib as 0xFF, the end-of-data value cut to one byte.
    size_t count = static_cast<size_t>(std::min<uint64_t>(compressedLeft_, chunk));
    if (count == 0) {
        return false;
    }
    input_.resize(count);
    const size_t got = underlying_->getChars(input_.data(), count);
    std::fill(input_.begin() + static_cast<std::ptrdiff_t>(got), input_.end(), 0xFF);
    compressedLeft_ -= count;
    zstream_.next_in = input_.data();
    zstream_.avail_in = static_cast<uInt>(count);
    return true;
}

bool CPdfFlateStream::startZlib() {
    zstream_ = z_stream{};
    zlibReady_ = inflateInit_(&zstream_, "1.2.2", static_cast<int>(sizeof(z_stream))) == Z_OK;
    return zlibReady_;
}

bool CPdfFlateStream::refill() {
    readIndex_ = endIndex_ = 0;
    if (ended_) {
        return false;
    }
    if (!zlibReady_) {
        if (!startZlib()) {
            ended_ = true; // zlib could not be set up: the data ends here
            return false;
        }
        output_.resize(kDecodeStep);
    }
    // Fill the whole buffer (or up to the end), feeding input as zlib asks for it. The data
    // is handed out in pieces of kFlateOutputChunk bytes counted from its start, and the piece
    // that ends in a zlib error is dropped, as the data ends there: every earlier fill was
    // whole pieces, so the bytes kept are cut back to a piece boundary of this buffer.
    zstream_.next_out = output_.data();
    zstream_.avail_out = static_cast<uInt>(output_.size());
    bool failed = false;
    while (zstream_.avail_out > 0) {
        if (zstream_.avail_in == 0 && !feedInput()) {
            // No input left: let zlib hand out what it still holds, then stop.
            int ret = inflate(&zstream_, Z_NO_FLUSH);
            if (ret != Z_OK && ret != Z_BUF_ERROR) {
                failed = ret != Z_STREAM_END;
                ended_ = true;
            } else if (zstream_.avail_out > 0) {
                ended_ = true;
            }
            break;
        }
        int ret = inflate(&zstream_, Z_NO_FLUSH);
        if (ret == Z_STREAM_END) {
            ended_ = true;
            break;
        }
        if (ret != Z_OK && ret != Z_BUF_ERROR) {
            ended_ = true;
            failed = true;
            break;
        }
    }
    endIndex_ = output_.size() - zstream_.avail_out;
    if (failed) {
        endIndex_ = endIndex_ / limits::kFlateOutputChunk * limits::kFlateOutputChunk;
    }
    return endIndex_ > 0;
}

bool CPdfFlateStream::readRest(std::string& out, size_t limit) {
    if (predictor_ || zlibReady_ || ended_) {
        return CPdfStream::readRest(out, limit);
    }
    ended_ = true; // this reads to the end
    if (!startZlib()) {
        return true; // zlib could not be set up: no data
    }
    // getChars hands out the data in pieces of kFlateOutputChunk bytes counted from its start
    // and drops the piece in which zlib fails. zlib writes every byte before the failing code
    // whatever room it is given, so inflating into out at once and cutting it back to the last
    // piece boundary gives the same bytes. One piece past limit is decoded before it is known
    // whether that piece is kept.
    constexpr size_t piece = limits::kFlateOutputChunk;
    const size_t before = out.size();
    const size_t most = limit > SIZE_MAX / 2 - before ? SIZE_MAX / 2 : before + limit + piece;
    // A first guess of the decoded size: four times the compressed bytes, at least 16 KiB.
    const uint64_t guess =
        std::max<uint64_t>(std::min<uint64_t>(compressedLeft_, SIZE_MAX / 8) * 4, 16384);
    size_t room = static_cast<size_t>(std::min<uint64_t>(guess, most - before));
    size_t size = before;
    bool failed = false;
    for (;;) {
        if (size == out.size()) {
            if (out.size() >= most) {
                break; // more than limit bytes in complete pieces
            }
            out.resize(std::min(most, out.size() + room));
            room = out.size() - before; // the room doubles
        }
        const bool noInput = zstream_.avail_in == 0 && !feedInput(kReadRestInputChunk);
        const uInt given = static_cast<uInt>(std::min<size_t>(out.size() - size, UINT32_MAX));
        zstream_.next_out = reinterpret_cast<Bytef*>(out.data()) + size;
        zstream_.avail_out = given;
        const int ret = inflate(&zstream_, Z_NO_FLUSH);
        size += given - zstream_.avail_out;
        if (ret == Z_STREAM_END) {
            break;
        }
        if (ret != Z_OK && ret != Z_BUF_ERROR) {
            failed = true;
            break;
        }
        if (noInput && zstream_.avail_out > 0) {
            break; // without input zlib has handed out all it holds
        }
    }
    if (failed) {
        size = before + (size - before) / piece * piece;
    }
    if (size - before > limit) {
        out.resize(before);
        return false;
    }
    out.resize(size);
    return true;
}
