#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
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
    void close();
    bool isOpen() const { return file_ != nullptr; }
    void setBase(uint64_t base) { base_ = base; }
    uint64_t base() const { return base_; }
    // Bytes after the base.
    uint64_t size() const { return size_ > base_ ? size_ - base_ : 0; }

    // Reads up to count bytes at offset (from the base) into out; false on a read error.
    bool read(uint64_t offset, size_t count, std::string& out);
    // Position of the last byte of the first occurrence of needle at or after start
    // (from the base), or -1 when there is none. With a limit, only matches that end at or
    // before the limit count.
    int64_t find(uint64_t start, std::string_view needle, uint64_t limit = UINT64_MAX);

private:
    bool loadBlock(uint64_t blockStart);

    std::FILE* file_ = nullptr;
    uint64_t size_ = 0;
    uint64_t base_ = 0;
    std::vector<char> block_;
    uint64_t blockStart_ = UINT64_MAX;
    size_t blockLength_ = 0;
};
