#include "stamp/CRawInput.h"

#include <algorithm>
#include <cstring>

namespace {
// Raw reads go through one block of the file; searches and copies of neighbouring objects
// then share it instead of going back to the file.
constexpr size_t kBlockSize = 256 * 1024;
} // namespace

CRawInput::~CRawInput() { close(); }

bool CRawInput::open(const std::string& path) {
    close();
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) {
        return false;
    }
    if (std::fseek(file_, 0, SEEK_END) != 0) {
        close();
        return false;
    }
    long end = std::ftell(file_);
    if (end < 0) {
        close();
        return false;
    }
    size_ = static_cast<uint64_t>(end);
    base_ = 0;
    blockStart_ = UINT64_MAX;
    blockLength_ = 0;
    return true;
}

void CRawInput::close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    block_.clear();
    block_.shrink_to_fit();
    blockStart_ = UINT64_MAX;
    blockLength_ = 0;
    size_ = 0;
}

bool CRawInput::loadBlock(uint64_t blockStart) {
    if (blockStart == blockStart_) {
        return true;
    }
    blockStart_ = UINT64_MAX;
    blockLength_ = 0;
    if (file_ == nullptr || blockStart >= size_) {
        return false;
    }
    block_.resize(kBlockSize);
    if (std::fseek(file_, static_cast<long>(blockStart), SEEK_SET) != 0) {
        return false;
    }
    size_t want = static_cast<size_t>(std::min<uint64_t>(kBlockSize, size_ - blockStart));
    size_t got = std::fread(block_.data(), 1, want, file_);
    if (got != want) {
        return false;
    }
    blockStart_ = blockStart;
    blockLength_ = got;
    return true;
}

bool CRawInput::read(uint64_t offset, size_t count, std::string& out) {
    out.clear();
    uint64_t absolute = base_ + offset;
    if (absolute > size_) {
        return false;
    }
    count = static_cast<size_t>(std::min<uint64_t>(count, size_ - absolute));
    out.reserve(count);
    while (out.size() < count) {
        uint64_t pos = absolute + out.size();
        uint64_t start = pos - pos % kBlockSize;
        if (!loadBlock(start)) {
            return false;
        }
        size_t inBlock = static_cast<size_t>(pos - start);
        size_t take = std::min(count - out.size(), blockLength_ - inBlock);
        out.append(block_.data() + inBlock, take);
    }
    return true;
}

int64_t CRawInput::find(uint64_t start, std::string_view needle, uint64_t limit) {
    if (needle.empty() || file_ == nullptr) {
        return -1;
    }
    uint64_t pos = base_ + start;
    // One past the last byte a match may use.
    const uint64_t stop = limit >= size_ - std::min(size_, base_) ? size_ : base_ + limit + 1;
    // Bytes of a possible match that began in the previous block.
    std::string carry;
    while (pos < stop) {
        uint64_t blockStart = pos - pos % kBlockSize;
        if (!loadBlock(blockStart)) {
            return -1;
        }
        size_t inBlock = static_cast<size_t>(pos - blockStart);
        size_t available = static_cast<size_t>(std::min<uint64_t>(blockLength_ - inBlock, stop - pos));
        std::string_view block(block_.data() + inBlock, available);
        if (!carry.empty()) {
            // A match across the block boundary: the carried tail plus the head of this block.
            std::string joined = carry;
            joined.append(block.substr(0, std::min(block.size(), needle.size() - 1)));
            size_t hit = joined.find(needle);
            if (hit != std::string::npos) {
                return static_cast<int64_t>(pos - carry.size() + hit + needle.size() - 1 - base_);
            }
        }
        size_t hit = block.find(needle);
        if (hit != std::string_view::npos) {
            return static_cast<int64_t>(pos + hit + needle.size() - 1 - base_);
        }
        size_t keep = std::min(block.size(), needle.size() - 1);
        carry.assign(block.substr(block.size() - keep));
        pos += block.size();
    }
    return -1;
}
