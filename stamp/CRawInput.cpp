#include "stamp/CRawInput.h"

#include "stamp/RawText.h"

#include <algorithm>
#include <cstring>

namespace {
// Raw reads go through one block of the file; searches and copies of neighbouring objects
// then share it instead of going back to the file.
constexpr size_t kBlockSize = 64 * 1024;
// A file up to this size is read through its mapping alone: the memory it takes can be no more
// than its size, half of the 32 MiB the whole run is meant to stay within, and it is read
// without a copy (a file of 16 MB is otherwise read twice over: once for the page tree, once
// for the copy). A larger one is read block by block into the blocks' own buffers, which bounds
// its memory whatever its size: the system maps a file held in large pages a large page (up to
// 2 MiB) at a time, so 64 blocks read through a mapping could hold 128 MiB.
constexpr uint64_t kMappedBlocksLimit = 16 * 1024 * 1024;
} // namespace

CRawInput::~CRawInput() {
    close();
}

bool CRawInput::open(const std::string& path) {
    close();
    openError_.clear();
    file_ = platform::openRegularFile(path, openError_);
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
    failed_ = false;
    (void)platform::mapFile(file_, size_, mapping_);
    blocksMapped_ = mapping_.data != nullptr && size_ <= kMappedBlocksLimit;
    forgetBlocks();
    return true;
}

void CRawInput::close() {
    failed_ = failed();
    platform::unmapFile(mapping_);
    blocksMapped_ = false;
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    forgetBlocks();
    for (Block& block : blocks_) {
        block.bytes.reset();
    }
    viewCopy_.clear();
    viewCopy_.shrink_to_fit();
    size_ = 0;
}

void CRawInput::forgetBlocks() {
    for (Block& block : blocks_) {
        block.start = UINT64_MAX;
        block.length = 0;
        block.lastUse = 0;
        block.data = nullptr;
    }
    useCount_ = 0;
    // One slot number per block of the file (-1: not held), so that a held block is found
    // without a search.
    slotOfBlock_.assign(file_ == nullptr ? 0 : static_cast<size_t>(size_ / kBlockSize) + 1, -1);
}

const CRawInput::Block* CRawInput::loadBlock(uint64_t blockStart) {
    const size_t index = static_cast<size_t>(blockStart / kBlockSize);
    if (index < slotOfBlock_.size() && slotOfBlock_[index] >= 0) {
        Block& held = blocks_[static_cast<size_t>(slotOfBlock_[index])];
        held.lastUse = ++useCount_;
        return &held;
    }
    Block* oldest = &blocks_[0];
    for (Block& block : blocks_) {
        if (block.lastUse < oldest->lastUse) {
            oldest = &block;
        }
    }
    Block& block = *oldest;
    if (block.start != UINT64_MAX) {
        slotOfBlock_[static_cast<size_t>(block.start / kBlockSize)] = -1;
    }
    block.start = UINT64_MAX;
    block.length = 0;
    block.lastUse = 0;
    block.data = nullptr;
    if (file_ == nullptr || blockStart >= size_ || index >= slotOfBlock_.size()) {
        return nullptr;
    }
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kBlockSize, size_ - blockStart));
    if (blocksMapped_) {
        block.data = mapping_.data + blockStart;
    } else if (!readBlock(block, blockStart, want)) {
        failed_ = true;
        return nullptr;
    }
    block.start = blockStart;
    block.length = want;
    block.lastUse = ++useCount_;
    slotOfBlock_[index] = static_cast<int8_t>(&block - blocks_.data());
    return &block;
}

bool CRawInput::readBlock(Block& block, uint64_t blockStart, size_t want) {
    if (!block.bytes) {
        // Not value-initialised: every byte used is read from the file first.
        block.bytes = std::make_unique_for_overwrite<char[]>(kBlockSize);
    }
    if (std::fseek(file_, static_cast<long>(blockStart), SEEK_SET) != 0 ||
        std::fread(block.bytes.get(), 1, want, file_) != want) {
        return false;
    }
    block.data = block.bytes.get();
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
        const Block* block = loadBlock(start);
        if (block == nullptr) {
            return false;
        }
        size_t inBlock = static_cast<size_t>(pos - start);
        size_t take = std::min(count - out.size(), block->length - inBlock);
        out.append(block->data + inBlock, take);
    }
    return true;
}

bool CRawInput::view(uint64_t offset, size_t count, std::string_view& out) {
    out = {};
    const uint64_t absolute = base_ + offset;
    if (absolute > size_) {
        return false;
    }
    count = static_cast<size_t>(std::min<uint64_t>(count, size_ - absolute));
    if (count == 0) {
        return true;
    }
    const uint64_t blockStart = absolute - absolute % kBlockSize;
    if (absolute + count > blockStart + kBlockSize) {
        if (!read(offset, count, viewCopy_)) {
            return false;
        }
        out = viewCopy_;
        return true;
    }
    const Block* block = loadBlock(blockStart);
    if (block == nullptr) {
        return false;
    }
    out = std::string_view(block->data + (absolute - blockStart), count);
    return true;
}

bool CRawInput::piece(uint64_t offset, size_t count, std::string_view& out) {
    out = {};
    const uint64_t absolute = base_ + offset;
    if (absolute >= size_ || count == 0) {
        return false;
    }
    const uint64_t blockStart = absolute - absolute % kBlockSize;
    const Block* block = loadBlock(blockStart);
    if (block == nullptr) {
        return false;
    }
    const size_t inBlock = static_cast<size_t>(absolute - blockStart);
    out = std::string_view(block->data + inBlock, std::min(count, block->length - inBlock));
    return true;
}

bool CRawInput::mappedRun(uint64_t offset, size_t count, std::string_view& out) {
    out = {};
    const uint64_t absolute = base_ + offset;
    if (mapping_.data == nullptr || absolute >= size_ || count == 0) {
        return false;
    }
    const size_t length = static_cast<size_t>(std::min<uint64_t>(count, size_ - absolute));
    // Read in ahead in one call: the output's write would otherwise fault the pages in one at
    // a time. A run that cannot be read in is not given out; through blocks, its lost pages
    // read as zeros and the input counts as failed.
    if (!platform::populateMappedRange(mapping_, absolute, length)) {
        failed_ = true;
        return false;
    }
    out = std::string_view(mapping_.data + absolute, length);
    return true;
}

void CRawInput::releaseRun(uint64_t offset, size_t count) {
    if (blocksMapped_) {
        return; // the whole file may stay
    }
    // Nothing else uses the mapping of a file this large, whose blocks are read.
    platform::releaseMappedRange(mapping_, base_ + offset, count);
}

int64_t CRawInput::find(uint64_t start, std::string_view needle, uint64_t limit) {
    if (needle.empty() || file_ == nullptr) {
        return -1;
    }
    uint64_t pos = base_ + start;
    // One past the last byte a match may use.
    const uint64_t stop = limit >= size_ - std::min(size_, base_) ? size_ : base_ + limit + 1;
    // The common case: the whole range lies in one block.
    const uint64_t firstBlock = pos - pos % kBlockSize;
    if (pos < stop && stop <= firstBlock + kBlockSize) {
        const Block* loaded = loadBlock(firstBlock);
        if (loaded == nullptr) {
            return -1;
        }
        const size_t inBlock = static_cast<size_t>(pos - firstBlock);
        const size_t available =
            static_cast<size_t>(std::min<uint64_t>(loaded->length - inBlock, stop - pos));
        const size_t hit =
            rawtext::findFirst(std::string_view(loaded->data + inBlock, available), needle);
        return hit == std::string_view::npos
                   ? -1
                   : static_cast<int64_t>(pos + hit + needle.size() - 1 - base_);
    }
    // Bytes of a possible match that began in the previous block.
    std::string carry;
    while (pos < stop) {
        uint64_t blockStart = pos - pos % kBlockSize;
        const Block* loaded = loadBlock(blockStart);
        if (loaded == nullptr) {
            return -1;
        }
        size_t inBlock = static_cast<size_t>(pos - blockStart);
        size_t available =
            static_cast<size_t>(std::min<uint64_t>(loaded->length - inBlock, stop - pos));
        std::string_view block(loaded->data + inBlock, available);
        if (!carry.empty()) {
            // A match across the block boundary: the carried tail plus the head of this block.
            std::string joined = carry;
            joined.append(block.substr(0, std::min(block.size(), needle.size() - 1)));
            size_t hit = rawtext::findFirst(joined, needle);
            if (hit != std::string::npos) {
                return static_cast<int64_t>(pos - carry.size() + hit + needle.size() - 1 - base_);
            }
        }
        size_t hit = rawtext::findFirst(block, needle);
        if (hit != std::string_view::npos) {
            return static_cast<int64_t>(pos + hit + needle.size() - 1 - base_);
        }
        size_t keep = std::min(block.size(), needle.size() - 1);
        carry.assign(block.substr(block.size() - keep));
        pos += block.size();
    }
    return -1;
}
