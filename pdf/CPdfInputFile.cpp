#include "pdf/CPdfInputFile.h"

#include <algorithm>

namespace {

// Reads go through one block of the file; searches and copies of neighbouring objects then
// share it instead of going back to the file.
constexpr size_t kBlockSize = 64 * 1024;
// A file up to this size is read through its mapping alone: the memory it takes can be no more
// than its size, half of the 32 MiB a whole run is meant to stay within, and it is read without
// a copy. A larger one is read block by block into the blocks' own buffers, which bounds its
// memory whatever its size: the system maps a file held in large pages a large page (up to
// 2 MiB) at a time, so 64 blocks read through a mapping could hold 128 MiB.
constexpr uint64_t kReadMappedLimit = 16 * 1024 * 1024;

} // namespace

CPdfInputFile::~CPdfInputFile() {
    close();
}

bool CPdfInputFile::open(const std::string& path) {
    close();
    openError_.clear();
    failed_ = false;
    base_ = 0;
    file_.reset(platform::openRegularFile(path, openError_));
    if (file_ == nullptr) {
        return false;
    }
    if (!platform::fileSize(file_.get(), size_)) {
        openError_ = "The size of the file cannot be read";
        close();
        return false;
    }
    (void)platform::mapFile(file_.get(), size_, mapping_);
    readMapped_ = mapping_.data != nullptr && size_ <= kReadMappedLimit;
    forgetBlocks();
    return true;
}

void CPdfInputFile::close() {
    failed_ = failed();
    releaseRun();
    platform::unmapFile(mapping_);
    readMapped_ = false;
    file_.reset();
    size_ = 0;
    base_ = 0;
    forgetBlocks();
    for (Block& block : blocks_) {
        block.bytes.reset();
    }
    viewCopy_.clear();
    viewCopy_.shrink_to_fit();
}

void CPdfInputFile::forgetBlocks() {
    for (Block& block : blocks_) {
        block.start = UINT64_MAX;
        block.length = 0;
        block.lastUse = 0;
    }
    useCount_ = 0;
    // One slot number per block of the file (-1: not held), so that a held block is found
    // without a search.
    const bool blocksUsed = file_ != nullptr && !readMapped_;
    slotOfBlock_.assign(blocksUsed ? static_cast<size_t>(size_ / kBlockSize) + 1 : 0, -1);
}

const CPdfInputFile::Block* CPdfInputFile::loadBlock(uint64_t blockStart) {
    const size_t index = static_cast<size_t>(blockStart / kBlockSize);
    if (index >= slotOfBlock_.size() || blockStart >= size_) {
        return nullptr;
    }
    if (slotOfBlock_[index] >= 0) {
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
    if (!block.bytes) {
        // Not value-initialised: every byte used is read from the file first.
        block.bytes = std::make_unique_for_overwrite<char[]>(kBlockSize);
    }
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kBlockSize, size_ - blockStart));
    if (!platform::readAt(file_.get(), blockStart, block.bytes.get(), want)) {
        failed_ = true;
        return nullptr;
    }
    block.start = blockStart;
    block.length = want;
    block.lastUse = ++useCount_;
    slotOfBlock_[index] = static_cast<int8_t>(&block - blocks_.data());
    return &block;
}

void CPdfInputFile::giveBackRun() {
    // Nothing else uses the mapping of a file that is read by blocks.
    platform::releaseMappedRange(mapping_, runStart_, runLength_);
    runLength_ = 0;
}

bool CPdfInputFile::bytesAt(uint64_t pos, size_t count, std::string_view& out) {
    const size_t available = static_cast<size_t>(std::min<uint64_t>(count, size_ - pos));
    if (readMapped_) {
        out = std::string_view(mapping_.data + pos, available);
        return true;
    }
    const uint64_t blockStart = pos - pos % kBlockSize;
    const Block* block = loadBlock(blockStart);
    if (block == nullptr) {
        out = {};
        return false;
    }
    const size_t inBlock = static_cast<size_t>(pos - blockStart);
    out = std::string_view(block->bytes.get() + inBlock,
                           std::min(available, block->length - inBlock));
    return true;
}

bool CPdfInputFile::piece(uint64_t offset, size_t count, std::string_view& out) {
    releaseRun();
    if (offset >= size() || count == 0) {
        out = {};
        return false;
    }
    const uint64_t pos = base_ + offset;
    if (count >= kLongRun && mapping_.data != nullptr && longRun(pos, count, out)) {
        return true;
    }
    return bytesAt(pos, count, out);
}

bool CPdfInputFile::longRun(uint64_t pos, size_t count, std::string_view& out) {
    const size_t length = static_cast<size_t>(std::min<uint64_t>(count, size_ - pos));
    // Read in ahead in one call: the output's write would otherwise fault the pages in one at
    // a time. A run that cannot be read in is not given out; through blocks, its lost pages
    // read as zeros and the input counts as failed.
    if (!platform::populateMappedRange(mapping_, pos, length)) {
        failed_ = true;
        return false;
    }
    out = std::string_view(mapping_.data + pos, length);
    if (!readMapped_) {
        runStart_ = pos;
        runLength_ = length;
    }
    return true;
}

bool CPdfInputFile::viewOfBlocks(uint64_t offset, size_t count, std::string_view& out) {
    out = {};
    if (offset > size()) {
        return false;
    }
    count = static_cast<size_t>(std::min<uint64_t>(count, size() - offset));
    if (count == 0) {
        return true;
    }
    const uint64_t pos = base_ + offset;
    if (readMapped_) {
        out = std::string_view(mapping_.data + pos, count);
        return true;
    }
    const uint64_t blockStart = pos - pos % kBlockSize;
    if (pos + count > blockStart + kBlockSize) {
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
    out = std::string_view(block->bytes.get() + (pos - blockStart), count);
    return true;
}

bool CPdfInputFile::read(uint64_t offset, size_t count, std::string& out) {
    out.clear();
    if (offset > size()) {
        return false;
    }
    count = static_cast<size_t>(std::min<uint64_t>(count, size() - offset));
    out.reserve(count);
    while (out.size() < count) {
        std::string_view bytes;
        if (!bytesAt(base_ + offset + out.size(), count - out.size(), bytes)) {
            return false;
        }
        out.append(bytes);
    }
    return true;
}

size_t CPdfInputFile::readDirect(uint64_t offset, char* out, size_t count) {
    if (offset >= size()) {
        return 0;
    }
    count = static_cast<size_t>(std::min<uint64_t>(count, size() - offset));
    if (!platform::readAt(file_.get(), base_ + offset, out, count)) {
        failed_ = true;
        return 0;
    }
    return count;
}

int64_t CPdfInputFile::find(uint64_t start, std::string_view needle, uint64_t limit) {
    if (needle.empty() || start >= size()) {
        return -1;
    }
    // One past the last byte a match may use.
    const uint64_t stop = limit >= size() ? size() : limit + 1;
    uint64_t pos = start;
    // The bytes of a possible match that began in the previous piece.
    std::string carry;
    while (pos < stop) {
        std::string_view bytes;
        if (!bytesAt(base_ + pos, static_cast<size_t>(stop - pos), bytes)) {
            return -1;
        }
        if (!carry.empty()) {
            const size_t carried = carry.size();
            carry.append(bytes.substr(0, needle.size() - 1));
            const size_t hit = carry.find(needle);
            if (hit != std::string::npos) {
                return static_cast<int64_t>(pos - carried + hit + needle.size() - 1);
            }
        }
        const size_t hit = bytes.find(needle);
        if (hit != std::string_view::npos) {
            return static_cast<int64_t>(pos + hit + needle.size() - 1);
        }
        carry.assign(bytes.substr(bytes.size() - std::min(bytes.size(), needle.size() - 1)));
        pos += bytes.size();
    }
    return -1;
}
