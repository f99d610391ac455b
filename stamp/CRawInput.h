#pragma once

#include "platform/Platform.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The input file opened for raw reading: object bytes are copied from it unchanged.
// Offsets count from the "%PDF-" header (the base), as the reader's offsets do.
class CRawInput {
  public:
    CRawInput() = default;
    ~CRawInput();
    CRawInput(const CRawInput&) = delete;
    CRawInput& operator=(const CRawInput&) = delete;

    bool open(const std::string& path);
    // Why the last open failed (a missing file, a folder, a FIFO).
    const std::string& openError() const { return openError_; }
    void close();
    bool isOpen() const { return file_ != nullptr; }
    // True when a read since open found the file shorter than it was, or unreadable: what was
    // read may then be wrong (a page that could not be read reads as zeros), and nothing built
    // from it may be kept. Stays true after close, until the next open.
    bool failed() const { return failed_ || platform::mappingDamaged(mapping_); }
    void setBase(uint64_t base) { base_ = base; }
    uint64_t base() const { return base_; }
    // Bytes after the base.
    uint64_t size() const { return size_ > base_ ? size_ - base_ : 0; }

    // Reads up to count bytes at offset (from the base) into out; false on a read error.
    bool read(uint64_t offset, size_t count, std::string& out);
    // As read, without a copy when the bytes lie in one block: out points into the block (or
    // into a copy of the bytes) and stays valid until the next call on this input.
    bool view(uint64_t offset, size_t count, std::string_view& out);
    // The bytes from offset up to count or to the end of the block that holds offset, whichever
    // comes first; valid until the next call on this input. False on a read error or when
    // offset is at or past the end.
    bool piece(uint64_t offset, size_t count, std::string_view& out);
    // For a mapped input, up to count bytes from offset straight from the mapping: copies too
    // long to go through blocks take no block and no copy of their own. False when the input
    // is not mapped or offset is at or past the end. Valid until close; releaseRun gives back
    // the memory the run took, once it has been used.
    bool mappedRun(uint64_t offset, size_t count, std::string_view& out);
    void releaseRun(uint64_t offset, size_t count);
    // Position of the last byte of the first occurrence of needle at or after start
    // (from the base), or -1 when there is none. With a limit, only matches that end at or
    // before the limit count.
    int64_t find(uint64_t start, std::string_view needle, uint64_t limit = UINT64_MAX);

  private:
    // One block of the file; start is a multiple of the block size (from the file's start).
    // Its bytes lie in the file's mapping (a small file), or in a buffer of the block's own
    // that they are read into.
    struct Block {
        uint64_t start = UINT64_MAX;
        size_t length = 0;
        uint64_t lastUse = 0;
        const char* data = nullptr;
        std::unique_ptr<char[]> bytes;
    };
    // The block at blockStart, read when none holds it (in place of the least recently used);
    // nullptr on a read error.
    const Block* loadBlock(uint64_t blockStart);
    void forgetBlocks();
    // Reads a block that is not mapped into its own buffer; false on a read error.
    bool readBlock(Block& block, uint64_t blockStart, size_t want);

    std::FILE* file_ = nullptr;
    // The whole file mapped, where it can be: long runs are written from it without a copy,
    // and the blocks of a small file point into it instead of being read.
    platform::FileMapping mapping_;
    bool failed_ = false;
    bool blocksMapped_ = false; // blocks point into the mapping instead of being read
    uint64_t size_ = 0;
    uint64_t base_ = 0;
    // Blocks of 64 KiB, 4 MiB in all: a page, its content stream, its resources and an
    // indirect /Length may lie far apart (some writers put every page object at the end), and
    // objects copied in number order may be taken from many places of the file in turn (large
    // Ghostscript manuals interleave some forty such runs). Each place keeps its block, which
    // is then read once and not again and again: with half as many blocks, a 29 MB manual was
    // read five times over.
    std::array<Block, 64> blocks_;
    uint64_t useCount_ = 0;
    std::vector<int8_t> slotOfBlock_; // per block of the file: the slot holding it, or -1
    std::string viewCopy_;            // the bytes of a view that spans two blocks
    std::string openError_;
};
