#pragma once

#include "platform/Platform.h"
#include "platform/UniqueFile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The input PDF file, opened once for the reader and the writer alike. A small file is read
// through its mapping; a large one, or one the system cannot map, through a cache of blocks,
// with long runs taken from the mapping where there is one; the reader's streams read straight
// from the file. Every offset counts from the "%PDF-" header (the base), so bytes before the
// header are never handed out once the base is set.
class CPdfInputFile {
  public:
    // A piece asked for with at least this many bytes comes straight from the mapping of a
    // mapped file, without a block: more than the output's buffer, so that the output writes
    // it directly.
    static constexpr size_t kLongRun = 1024 * 1024;

    CPdfInputFile() = default;
    ~CPdfInputFile();
    CPdfInputFile(const CPdfInputFile&) = delete;
    CPdfInputFile& operator=(const CPdfInputFile&) = delete;

    // Opens a regular file; false with openError() saying why (a missing file, a folder, a
    // FIFO). The base starts at 0.
    bool open(const std::string& path);
    const std::string& openError() const { return openError_; }
    void close();
    bool isOpen() const { return file_ != nullptr; }
    // True when a read since open found the file shorter than it was, or unreadable: what was
    // read may then be wrong (a page that could not be read reads as zeros), and nothing built
    // from it may be kept. Stays true after close, until the next open.
    bool failed() const { return failed_ || platform::mappingDamaged(mapping_); }
    // Where "%PDF-" begins in the file; set once it is found.
    void setBase(uint64_t base) { base_ = base < size_ ? base : size_; }
    uint64_t base() const { return base_; }
    // Bytes after the base.
    uint64_t size() const { return size_ - base_; }
    // The open file itself, for a copy of its bytes that the system makes (nullptr when
    // closed); reads through it do not disturb this input.
    std::FILE* handle() const { return file_.get(); }

    // The bytes from offset on, up to count, as many as lie together in one place (the
    // mapping, or one block of the file); valid until the next call on this input. A long run
    // (count of at least kLongRun) of a mapped file comes from its mapping, read in ahead; for
    // a file read by blocks, the memory the run took is given back at the next piece or at
    // close. False on a read error, or when offset is at or past the end or count is 0.
    bool piece(uint64_t offset, size_t count, std::string_view& out);
    // Up to count bytes from offset (fewer at the end) as one range, copied only when they lie
    // in two blocks; valid until the next call on this input. False on a read error or when
    // offset is past the end.
    bool view(uint64_t offset, size_t count, std::string_view& out) {
        // A file read through its mapping answers here: the framing and the table's check take
        // several views of every object.
        if (readMapped_ && offset < size() && count != 0) {
            const uint64_t left = size() - offset;
            out = std::string_view(mapping_.data + base_ + offset,
                                   count < left ? count : static_cast<size_t>(left));
            return true;
        }
        return viewOfBlocks(offset, count, out);
    }
    // Whether every view stays valid while the file is open, not only until the next call: a
    // file read through its mapping alone.
    bool viewsLast() const { return readMapped_; }
    // Every byte after the base, for a file read through its mapping alone (empty otherwise): a
    // reader that looks at many places of the file takes its views from here without a call.
    std::string_view mappedInput() const {
        return readMapped_ ? std::string_view(mapping_.data + base_, static_cast<size_t>(size()))
                           : std::string_view();
    }
    // Up to count bytes from offset read straight from the file into out, past the mapping
    // and the blocks; how many were read (fewer only at the end, 0 on a read error, which
    // counts as a failure). For the reader's streams: most of what they read (cross-reference
    // data, object streams) is never copied, and read so it takes no memory in the mapping and
    // leaves the copy's blocks in place.
    size_t readDirect(uint64_t offset, char* out, size_t count);
    // As view, into out.
    bool read(uint64_t offset, size_t count, std::string& out);
    // Offset of the last byte of the first occurrence of needle at or after start, or -1 when
    // there is none. With a limit, only matches that end at or before the limit count.
    int64_t find(uint64_t start, std::string_view needle, uint64_t limit = UINT64_MAX);

  private:
    // One block of the file, read into a buffer of its own; start (from the file's start) is
    // a multiple of the block size.
    struct Block {
        uint64_t start = UINT64_MAX;
        size_t length = 0;
        uint64_t lastUse = 0;
        std::unique_ptr<char[]> bytes;
    };
    // The block at blockStart, read when none holds it (in place of the least recently used);
    // nullptr on a read error.
    const Block* loadBlock(uint64_t blockStart);
    void forgetBlocks();
    // A long run straight from the mapping, read in ahead; false when it cannot be read in.
    bool longRun(uint64_t pos, size_t count, std::string_view& out);
    // As view, for what the mapping alone does not answer.
    bool viewOfBlocks(uint64_t offset, size_t count, std::string_view& out);
    // Gives back the memory that the last long run took, if any.
    void releaseRun() {
        if (runLength_ != 0) {
            giveBackRun();
        }
    }
    void giveBackRun();
    // The bytes from absolute position pos up to count or the end of the place that holds
    // them; pos lies before the end of the file.
    bool bytesAt(uint64_t pos, size_t count, std::string_view& out);

    UniqueFile file_;
    // The whole file mapped, where it can be: long runs are taken from it without a copy, and
    // a small file is read through it alone.
    platform::FileMapping mapping_;
    bool readMapped_ = false; // every read goes through the mapping, none through blocks
    bool failed_ = false;
    uint64_t size_ = 0;
    uint64_t base_ = 0;
    uint64_t runStart_ = 0; // the last long run, still to be given back
    uint64_t runLength_ = 0;
    // 64 blocks of 64 KiB: a page, its content stream, its resources and an indirect /Length
    // may lie far apart (some writers put every page object at the end), and objects copied in
    // number order may be taken from many places of the file in turn (large manuals interleave
    // some forty such runs). Each place keeps its block, which is then read once rather than
    // again and again.
    std::array<Block, 64> blocks_;
    uint64_t useCount_ = 0;
    std::vector<int8_t> slotOfBlock_; // per block of the file: the slot holding it, or -1
    std::string viewCopy_;            // the bytes of a view that spans two blocks
    std::string openError_;
};
