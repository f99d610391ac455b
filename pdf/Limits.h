#pragma once

#include <cstddef>
#include <cstdint>

// Limits that keep hostile files from exhausting the stack, the memory or the time of a run.
// Every count, size and depth read from a file is checked against these before it is used.
namespace limits {

// Nesting of arrays and dictionaries inside one object.
inline constexpr int kMaxNestingDepth = 256;
// Indirect objects fetched inside one another (an indirect /Length that resolves through
// another object, and so on).
inline constexpr int kMaxFetchDepth = 32;
// PDF's own implementation limit on the number of indirect objects.
inline constexpr int64_t kMaxObjectCount = 8388607;
// Cross-reference sections followed through /Prev and /XRefStm.
inline constexpr int kMaxSections = 4096;
// Widest field of a cross-reference stream row, in bytes.
inline constexpr int kMaxXRefFieldWidth = 8;
// Largest predictor row, in bytes.
inline constexpr int64_t kMaxPredictorRowBytes = 1 << 24;
// Rows of the cross-reference table: a table may always have kMinTableRows rows (1 MiB), and
// beyond that at most one row for every kFileBytesPerTableRow bytes of the file, since every
// object has to be described by the file somewhere; so the table takes at most 4 bytes of
// memory per byte of file. A larger table is "PDF file was damaged".
inline constexpr int64_t kMinTableRows = 65536;
inline constexpr int64_t kFileBytesPerTableRow = 4;
// Decoded bytes of one object stream held in memory: kObjectStreamExpansion times the file
// size (about the most zlib can make of the whole file), never less than kMinObjectStreamBytes
// (real files pack a few megabytes of tiny objects into a few kilobytes) and never more than
// kMaxObjectStreamBytes, which real object streams stay well below (their members are
// dictionaries and arrays, never streams) and which keeps a hostile file of a few tens of
// kilobytes from taking more. A larger object stream is unreadable: its objects cannot be
// found, and a file that needs them is refused.
inline constexpr int64_t kMinObjectStreamBytes = 4 << 20;
inline constexpr int64_t kMaxObjectStreamBytes = 32 << 20;
inline constexpr int64_t kObjectStreamExpansion = 1024;
// Decoded object streams kept for the whole of a document, in the order they were first
// decoded, until they take this many bytes: the page-tree walk and the copy read the same
// object streams one after the other, and those kept are not decoded twice.
inline constexpr size_t kKeptObjectStreamBytes = 4 << 20;
// Decoded object streams beyond those kept, held while they were used last, up to this many
// bytes, the least recently used dropped first. A pass reads pages in order and turns back to
// shared objects (fonts, resources) between them: the stream a run of pages comes from and the
// one the shared objects come from both stay, and neither is decoded again for each object.
inline constexpr size_t kRecentObjectStreamBytes = 1 << 20;
// Largest block the file stream reads at once (it starts small and doubles while reading on).
inline constexpr size_t kFileBufferMin = 512;
inline constexpr size_t kFileBufferMax = 16384;
// Compressed bytes handed to zlib at a time, and the decoded piece taken from it (a piece
// that ends in a zlib error is dropped whole, so its size is part of the result).
inline constexpr size_t kFlateInputChunk = 4096;
inline constexpr size_t kFlateOutputChunk = 1024;

// Bytes of a page dictionary whose form is kept to read the next pages by (a larger one is read
// by its tokens every time).
inline constexpr size_t kMaxKeptDictionaryBytes = 4096;

// Depth of the page tree.
inline constexpr int kMaxPageTreeDepth = 256;
// Bytes of the page objects that the page tree lists again, each written as a copy of its own,
// and of the pages written in /Kids, each written as an object of its own (every such place is
// also charged for the objects written beside it): a small page listed a million times would
// otherwise make an output thousands of times the input's size.
inline constexpr uint64_t kMaxCopiedPageBytes = uint64_t{256} << 20;
// Largest font file -embedfont reads into memory (the large CJK collections are about 30 MiB).
inline constexpr uint64_t kMaxFontFileBytes = uint64_t{256} << 20;

// Largest image file a picture stamp (-image) reads into memory.
inline constexpr uint64_t kMaxImageFileBytes = uint64_t{64} << 20;
// Largest side of a picture stamp's image in pixels, and the most bytes its decoded pixels
// (colour and alpha) may take: a PNG of a few bytes can announce a huge image, and its pixels are
// held in memory while they are split or de-interlaced.
inline constexpr int64_t kMaxImageSide = 1 << 16;
inline constexpr int64_t kMaxImagePixelBytes = int64_t{256} << 20;
// The objects a page of another PDF (-overlay) may need, and the bytes they and its decoded
// content may take in memory: every object the page reaches is copied, and a hostile file can
// make its resources reach far.
inline constexpr size_t kMaxOverlayObjects = size_t{1} << 18;
inline constexpr uint64_t kMaxOverlayBytes = uint64_t{256} << 20;

} // namespace limits
