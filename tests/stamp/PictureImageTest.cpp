// The image readers of picture stamps: PNG files of every colour type written here with zlib,
// read back through the image stream the output would hold (inflated, with its predictor) and
// compared with the pixels they were made of; JPEG headers read for size, colours and density;
// damaged and unsupported files refused with their cause.
#include "stamp/picture/PictureImage.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfFlateStream.h"
#include "pdf/CPdfMemoryStream.h"
#include "support/ImageBuilder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using qm_test::deflated;
using qm_test::jpegFrame;
using qm_test::jpegSegment;
using qm_test::makeJpeg;
using qm_test::makePng;
using qm_test::pngChunk;

// The bytes an image stream decodes to, as a PDF reader would get them.
std::string decodeStream(const ImageStream& stream) {
    int predictor = 1, colors = 1, bits = 8, columns = 1;
    const std::string& e = stream.entries;
    if (const size_t at = e.find("/Predictor "); at != std::string::npos) {
        std::sscanf(e.c_str() + at, "/Predictor %d /Colors %d /BitsPerComponent %d /Columns %d",
                    &predictor, &colors, &bits, &columns);
    }
    auto* raw = new CPdfMemoryStream(reinterpret_cast<const unsigned char*>(stream.data.data()),
                                     stream.data.size(), 0, stream.data.size(), CPdfElement());
    CPdfFlateStream flate(raw, predictor, columns, colors, bits);
    std::string out;
    int c;
    while ((c = flate.getChar()) >= 0) {
        out += static_cast<char>(c);
    }
    return out;
}

std::string sequence(size_t count, int step) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        out += static_cast<char>(i * step + 7);
    }
    return out;
}

// Every other byte of groups of size group starting at first (colour or alpha of pixels).
std::string samplesOf(const std::string& pixels, size_t group, size_t first, size_t count) {
    std::string out;
    for (size_t i = 0; i + group <= pixels.size(); i += group) {
        out += pixels.substr(i + first, count);
    }
    return out;
}

TEST(PictureImageTest, PngPixelsReachTheImageAndItsMask) {
    const std::string palette = std::string("\xff\x00\x00\x00\xff\x00\x00\x00\xff", 9);
    struct Row {
        const char* name;
        qm_test::PngLayout layout;
        std::string pixels;
        std::string extra;      // chunks before IDAT
        const char* space;      // the colour space entry expected
        std::string color;      // the image's decoded bytes
        std::string alpha;      // the soft mask's, empty without one
        const char* otherEntry; // another entry the image's dictionary has
    };
    const std::string rgba = sequence(5 * 3 * 4, 11);
    const std::string grey16 = sequence(6 * 2 * 2, 5);
    const std::string rgb16 = sequence(9 * 10 * 6, 3);
    const std::string greyAlpha = sequence(10 * 9 * 4, 13);
    const std::string indices = std::string("\x01\x20\x12\x00", 4); // 4-bit, 3 x 2 pixels
    const std::string rgb = sequence(4 * 3 * 3, 17);
    const Row rows[] = {
        {"grey 8-bit, its rows passed through with the predictor",
         {7, 3, 8, 0, false, 1},
         sequence(21, 9),
         "",
         "/DeviceGray",
         sequence(21, 9),
         "",
         "/Predictor 15 /Colors 1"},
        {"RGB 16-bit interlaced, de-interlaced",
         {9, 10, 16, 2, true, 6},
         rgb16,
         "",
         "/DeviceRGB",
         rgb16,
         "",
         "/BitsPerComponent 16"},
        {"RGBA 8-bit: alpha as the soft mask",
         {5, 3, 8, 6, false, 4},
         rgba,
         "",
         "/DeviceRGB",
         samplesOf(rgba, 4, 0, 3),
         samplesOf(rgba, 4, 3, 1),
         "/BitsPerComponent 8"},
        {"grey and alpha 16-bit interlaced",
         {10, 9, 16, 4, true, 4},
         greyAlpha,
         "",
         "/DeviceGray",
         samplesOf(greyAlpha, 4, 0, 2),
         samplesOf(greyAlpha, 4, 2, 2),
         "/BitsPerComponent 16"},
        {"grey 16-bit",
         {6, 2, 16, 0, false, 2},
         grey16,
         "",
         "/DeviceGray",
         grey16,
         "",
         "/Columns 6"},
        {"palette 4-bit with tRNS: the entries' alpha as the mask",
         {3, 2, 4, 3, false, 0},
         indices,
         pngChunk("PLTE", palette) + pngChunk("tRNS", std::string("\x80\x00", 2)),
         "[/Indexed /DeviceRGB 2 <ff000000ff000000ff>]",
         indices,
         std::string("\x80\x00\xff\x00\xff\x80", 6),
         "/BitsPerComponent 4"},
        {"RGB with a colour key",
         {4, 3, 8, 2, false, 3},
         rgb,
         pngChunk("tRNS", std::string("\x00\x07\x00\x18\x00\x29", 6)),
         "/DeviceRGB",
         rgb,
         "",
         "/Mask [7 7 24 24 41 41]"},
    };
    for (const Row& row : rows) {
        const PictureImage picture = readPicture(makePng(row.layout, row.pixels, row.extra));
        EXPECT_EQ(picture.width, static_cast<int32_t>(row.layout.width)) << row.name;
        EXPECT_EQ(picture.height, static_cast<int32_t>(row.layout.height)) << row.name;
        EXPECT_NE(picture.image.entries.find(std::string("/ColorSpace ") + row.space),
                  std::string::npos)
            << row.name << ": " << picture.image.entries;
        EXPECT_NE(picture.image.entries.find(row.otherEntry), std::string::npos)
            << row.name << ": " << picture.image.entries;
        EXPECT_EQ(decodeStream(picture.image), row.color) << row.name;
        EXPECT_EQ(picture.hasSoftMask, !row.alpha.empty()) << row.name;
        if (picture.hasSoftMask) {
            EXPECT_EQ(decodeStream(picture.softMask), row.alpha) << row.name;
        }
    }
}

const std::string kJfif300 =
    jpegSegment(0xE0, std::string("JFIF\0\x01\x02\x01\x01\x2c\x01\x2c\0\0", 14));
const std::string kAdobe = jpegSegment(0xEE, std::string("Adobe\0\x64\0\0\0\0\x02", 12));

TEST(PictureImageTest, JpegHeadersGiveSizeColoursAndDensity) {
    struct Row {
        const char* name;
        std::string bytes;
        int32_t width, height;
        float dpi;
        const char* entries;
    };
    const Row rows[] = {
        {"grey baseline", makeJpeg(jpegFrame(0xC0, 8, 20, 30, 1)), 30, 20, 72.0f,
         "/Width 30 /Height 20 /ColorSpace /DeviceGray /BitsPerComponent 8 /Filter /DCTDecode"},
        {"RGB progressive at 300 dpi", makeJpeg(kJfif300 + jpegFrame(0xC2, 8, 600, 900, 3)), 900,
         600, 300.0f, "/ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode"},
        {"Adobe CMYK inverted by /Decode", makeJpeg(kAdobe + jpegFrame(0xC1, 8, 5, 4, 4)), 4, 5,
         72.0f,
         "/ColorSpace /DeviceCMYK /BitsPerComponent 8 /Filter /DCTDecode /Decode [1 0 1 0 1 0 1 "
         "0]"},
    };
    for (const Row& row : rows) {
        const PictureImage picture = readPicture(row.bytes);
        EXPECT_EQ(picture.width, row.width) << row.name;
        EXPECT_EQ(picture.height, row.height) << row.name;
        EXPECT_FLOAT_EQ(picture.dotsPerInchX, row.dpi) << row.name;
        EXPECT_NE(picture.image.entries.find(row.entries), std::string::npos)
            << row.name << ": " << picture.image.entries;
        EXPECT_EQ(picture.image.data, row.bytes) << row.name; // passed through as it stands
        EXPECT_FALSE(picture.hasSoftMask) << row.name;
    }
}

TEST(PictureImageTest, DamagedOrUnsupportedFilesAreRefusedWithTheirCause) {
    const std::string good = makePng(qm_test::PngLayout{4, 4, 8, 0, false, 1}, sequence(16, 3), "");
    std::string badCrc = good;
    badCrc[8 + 8 + 5] ^= 1; // a byte of IHDR's width
    const size_t idat = good.find("IDAT");
    std::string shortData = std::string("\x89PNG\r\n\x1a\n", 8) + good.substr(8, idat - 4 - 8);
    const std::string cutZlib = deflated(std::string(9, '\0')); // 9 of the 20 bytes of rows
    shortData += pngChunk("IDAT", cutZlib) + pngChunk("IEND", "");
    const std::string baseline = makeJpeg(jpegFrame(0xC0, 8, 20, 30, 3));
    struct Row {
        const char* name;
        std::string bytes;
        const char* cause;
    };
    const Row rows[] = {
        {"bad chunk CRC", badCrc, "bad CRC in chunk IHDR at offset 8"},
        {"PNG cut before IEND", good.substr(0, good.size() - 12), "before IEND"},
        {"PNG chunk past the end", good.substr(0, idat + 10), "chunk IDAT at offset"},
        {"rows missing from the data", shortData, "the image data ends in row 1 of 4"},
        {"RGB of 4 bits",
         makePng(qm_test::PngLayout{2, 2, 4, 2, false, 0}, std::string(2, '\0'), ""),
         "colour type 2 with 4-bit samples"},
        {"palette without PLTE",
         makePng(qm_test::PngLayout{2, 2, 8, 3, false, 1}, std::string(4, '\0'), ""),
         "without a PLTE chunk"},
        {"unknown critical chunk",
         makePng(qm_test::PngLayout{2, 2, 8, 0, false, 1}, std::string(4, '\0'),
                 pngChunk("ABCD", "x")),
         "unknown critical chunk ABCD"},
        {"huge size announced", makePng(qm_test::PngLayout{60000, 60000, 16, 6, false, 0}, "", ""),
         "too large"},
        {"JPEG header cut short", baseline.substr(0, 12), "runs past the end of the file"},
        {"JPEG ending before its scan", baseline.substr(0, baseline.find("\xff\xda")),
         "before its first scan"},
        {"12-bit JPEG", makeJpeg(jpegFrame(0xC1, 12, 2, 2, 1)), "12-bit samples"},
        {"arithmetic-coded JPEG", makeJpeg(jpegFrame(0xC9, 8, 2, 2, 1)), "frame 0xFFC9"},
        {"JPEG of 2 components", makeJpeg(jpegFrame(0xC0, 8, 2, 2, 2)), "2 components"},
        {"JPEG scan without a frame", makeJpeg(""), "before the frame header"},
        {"neither kind", "GIF89a", "neither a JPEG nor a PNG"},
    };
    for (const Row& row : rows) {
        try {
            readPicture(row.bytes);
            ADD_FAILURE() << row.name << ": read";
        } catch (const CPdfException& e) {
            EXPECT_EQ(e.message(), "Image file error") << row.name;
            EXPECT_NE(e.cause().find(row.cause), std::string::npos)
                << row.name << ": " << e.cause();
        }
    }
}

} // namespace
