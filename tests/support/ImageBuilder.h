#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Small image files written in the tests and the fuzz seeds: PNG files through zlib, and the
// head of a JPEG file (its markers up to the first scan, a few scan bytes and the end marker).
namespace qm_test {

// A PNG image of width x height pixels of pixelBytes bytes (or, below 8 bits, rows packed as
// PNG packs them): the rows of pixels, filtered with the Sub filter on every other row so that
// unfiltering is exercised, interlaced with Adam7 when asked (whole-byte pixels only).
struct PngLayout {
    uint32_t width;
    uint32_t height;
    int depth;
    int colorType;
    bool interlaced;
    size_t pixelBytes; // 0: below a byte, rows given packed
};

// A chunk: length, type, data and the CRC of type and data.
std::string pngChunk(const std::string& type, const std::string& data);
// The bytes compressed by zlib.
std::string deflated(const std::string& bytes);
// The PNG file of the pixels (rows one after the other), with the chunks extra before its IDAT.
std::string makePng(const PngLayout& layout, const std::string& pixels, const std::string& extra);

// A JPEG marker segment: the marker, its length and data.
std::string jpegSegment(int marker, const std::string& data);
// A frame header (SOF marker given) of one-byte component ids numbered from 1.
std::string jpegFrame(int marker, int precision, int height, int width, int components);
// A JPEG file of the markers given, then a scan of a few bytes and the end of the image.
std::string makeJpeg(const std::string& markers);
// A baseline JPEG file of one flat colour, blocksWide x blocksHigh blocks of 8 x 8 pixels, every
// component sampled fully: samples gives each component's value (grey; Y, Cb, Cr; or C, M, Y,
// K as stored). A JFIF marker precedes three components, an Adobe marker four. Each block has
// only its DC coefficient (quantised by 1), coded with a table of the twelve categories.
std::string makeFlatJpeg(int blocksWide, int blocksHigh, const std::vector<int>& samples);

} // namespace qm_test
