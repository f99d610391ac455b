#include "stamp/picture/PngReader.h"

#include "pdf/CPdfException.h"
#include "pdf/CPdfFlateStream.h"
#include "pdf/CPdfMemoryStream.h"
#include "pdf/CPdfPredictor.h"
#include "pdf/Limits.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>
#include <zlib.h>

namespace {

constexpr const char* kError = "Image file error";
constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);

[[noreturn]] void refuse(const std::string& cause) {
    throw CPdfException(kError, "PNG file: " + cause);
}

uint32_t byteAt(std::string_view bytes, size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}

uint32_t longAt(std::string_view bytes, size_t at) {
    return byteAt(bytes, at) << 24 | byteAt(bytes, at + 1) << 16 | byteAt(bytes, at + 2) << 8 |
           byteAt(bytes, at + 3);
}

// What the chunks tell, the compressed pixels gathered from the IDAT chunks.
struct PngFile {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t depth = 0;
    uint32_t colorType = 0;
    bool interlaced = false;
    std::string_view palette;      // PLTE: three bytes an entry
    std::string_view transparency; // tRNS
    bool hasDensity = false;
    uint32_t densityX = 0; // pHYs, pixels per metre
    uint32_t densityY = 0;
    std::string data;
};

// Samples a pixel of the colour type has.
uint32_t channelsOf(uint32_t colorType) {
    switch (colorType) {
    case 2:
        return 3;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return 1;
    }
}

bool depthAllowed(uint32_t colorType, uint32_t depth) {
    switch (colorType) {
    case 0:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
        return depth == 8 || depth == 16;
    default:
        return false;
    }
}

void readHeader(std::string_view chunk, PngFile& png) {
    if (chunk.size() != 13) {
        refuse("IHDR chunk of " + std::to_string(chunk.size()) + " bytes");
    }
    png.width = longAt(chunk, 0);
    png.height = longAt(chunk, 4);
    png.depth = byteAt(chunk, 8);
    png.colorType = byteAt(chunk, 9);
    if (png.width == 0 || png.height == 0 || png.width > limits::kMaxImageSide ||
        png.height > limits::kMaxImageSide) {
        refuse("image of " + std::to_string(png.width) + " x " + std::to_string(png.height) +
               " pixels (each side from 1 to " + std::to_string(limits::kMaxImageSide) + ")");
    }
    if (!depthAllowed(png.colorType, png.depth)) {
        refuse("colour type " + std::to_string(png.colorType) + " with " +
               std::to_string(png.depth) + "-bit samples");
    }
    if (byteAt(chunk, 10) != 0 || byteAt(chunk, 11) != 0 || byteAt(chunk, 12) > 1) {
        refuse("unknown compression, filter or interlace method in IHDR");
    }
    png.interlaced = byteAt(chunk, 12) == 1;
    const int64_t pixelBytes =
        (int64_t{png.width} * channelsOf(png.colorType) * png.depth + 7) / 8 * png.height;
    if (pixelBytes > limits::kMaxImagePixelBytes) {
        refuse("image of " + std::to_string(png.width) + " x " + std::to_string(png.height) +
               " pixels is too large");
    }
}

void readPalette(std::string_view chunk, PngFile& png) {
    if (chunk.empty() || chunk.size() % 3 != 0 || chunk.size() > 3 * 256) {
        refuse("PLTE chunk of " + std::to_string(chunk.size()) + " bytes");
    }
    png.palette = chunk;
}

void readTransparency(std::string_view chunk, PngFile& png) {
    const size_t expected = png.colorType == 0 ? 2 : png.colorType == 2 ? 6 : 0;
    if (png.colorType == 3 ? chunk.size() > png.palette.size() / 3 || png.palette.empty()
                           : chunk.size() != expected) {
        refuse("tRNS chunk of " + std::to_string(chunk.size()) + " bytes for colour type " +
               std::to_string(png.colorType));
    }
    png.transparency = chunk;
}

// The chunks from the signature to IEND, each one's CRC checked.
PngFile readChunks(std::string_view bytes) {
    PngFile png;
    size_t at = kSignature.size();
    bool header = false;
    while (true) {
        if (bytes.size() - at < 12) {
            refuse("the file ends at offset " + std::to_string(bytes.size()) + ", before IEND");
        }
        const uint32_t length = longAt(bytes, at);
        const std::string_view type = bytes.substr(at + 4, 4);
        if (length > bytes.size() - at - 12) {
            refuse("chunk " + std::string(type) + " at offset " + std::to_string(at) +
                   " runs past the end of the file");
        }
        const std::string_view chunk = bytes.substr(at + 8, length);
        const uint32_t crc = longAt(bytes, at + 8 + length);
        const auto* start = reinterpret_cast<const Bytef*>(bytes.data() + at + 4);
        if (crc32(crc32(0L, Z_NULL, 0), start, length + 4) != crc) {
            refuse("bad CRC in chunk " + std::string(type) + " at offset " + std::to_string(at));
        }
        if (!header && type != "IHDR") {
            refuse("the first chunk is " + std::string(type) + ", not IHDR");
        }
        at += 12 + size_t{length};
        if (type == "IHDR") {
            if (header) {
                refuse("a second IHDR chunk");
            }
            readHeader(chunk, png);
            header = true;
        } else if (type == "PLTE") {
            readPalette(chunk, png);
        } else if (type == "tRNS") {
            readTransparency(chunk, png);
        } else if (type == "pHYs" && chunk.size() == 9 && byteAt(chunk, 8) == 1) {
            png.hasDensity = true;
            png.densityX = longAt(chunk, 0);
            png.densityY = longAt(chunk, 4);
        } else if (type == "IDAT") {
            png.data.append(chunk);
        } else if (type == "IEND") {
            return png;
        } else if ((byteAt(type, 0) & 0x20) == 0) {
            refuse("unknown critical chunk " + std::string(type));
        }
    }
}

// Width of a pass of the interlacing (or of the whole image) in pixels, from its first column
// and step.
uint32_t passSize(uint32_t size, uint32_t first, uint32_t step) {
    return size > first ? (size - first + step - 1) / step : 0;
}

struct Pass {
    uint32_t x0, y0, dx, dy;
};
// Adam7's seven passes over an 8 x 8 block; a plain image is one pass of every pixel.
constexpr Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                           {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr Pass kWhole[] = {{0, 0, 1, 1}};

// The bits of pixel x of a row of pixels of bits each, as a number (pixels narrower than a byte)
// or copied byte by byte.
uint32_t pixelBitsAt(const uint8_t* row, size_t x, uint32_t bits) {
    const size_t bit = x * bits;
    const uint32_t shift = 8 - bits - static_cast<uint32_t>(bit % 8);
    return (row[bit / 8] >> shift) & ((1u << bits) - 1);
}

void setPixelBits(uint8_t* row, size_t x, uint32_t bits, uint32_t value) {
    const size_t bit = x * bits;
    const uint32_t shift = 8 - bits - static_cast<uint32_t>(bit % 8);
    row[bit / 8] =
        static_cast<uint8_t>((row[bit / 8] & ~(((1u << bits) - 1) << shift)) | (value << shift));
}

// The pixels, rows of rowBytes one after the other: inflated, unfiltered row by row through the
// PNG predictor, and put in their places pass by pass.
std::string decodePixels(const PngFile& png) {
    const uint32_t channels = channelsOf(png.colorType);
    const uint32_t pixelBits = channels * png.depth;
    const size_t rowBytes = (size_t{png.width} * pixelBits + 7) / 8;
    // Deflate makes at most 1032 bytes of one: data too short for the rows it announces is
    // refused before their memory is taken.
    if ((rowBytes + 1) * png.height / 1032 > png.data.size() + 1) {
        refuse("the image data of " + std::to_string(png.data.size()) + " bytes is too short for " +
               std::to_string(png.width) + " x " + std::to_string(png.height) + " pixels");
    }
    std::string pixels(rowBytes * png.height, '\0');
    auto* raw = new CPdfMemoryStream(reinterpret_cast<const unsigned char*>(png.data.data()),
                                     png.data.size(), 0, png.data.size(), CPdfElement());
    CPdfFlateStream inflated(raw, 1, 0, 0, 0);
    std::vector<uint8_t> row;
    for (const Pass& pass : png.interlaced ? std::span<const Pass>(kAdam7) : kWhole) {
        const uint32_t columns = passSize(png.width, pass.x0, pass.dx);
        const uint32_t rows = passSize(png.height, pass.y0, pass.dy);
        if (columns == 0 || rows == 0) {
            continue; // a pass without pixels has no rows, not even their filter bytes
        }
        const int colors = static_cast<int>(channels);
        const int depth = static_cast<int>(png.depth);
        if (!CPdfPredictor::isValid(15, static_cast<int>(columns), colors, depth)) {
            refuse("rows of " + std::to_string(columns) + " pixels are too long");
        }
        CPdfPredictor predictor(&inflated, 15, static_cast<int>(columns), colors, depth);
        const size_t passRowBytes = (size_t{columns} * pixelBits + 7) / 8;
        row.resize(passRowBytes);
        for (uint32_t y = 0; y < rows; ++y) {
            if (predictor.getChars(row.data(), passRowBytes) != passRowBytes) {
                refuse("the image data ends in row " + std::to_string(y) + " of " +
                       std::to_string(rows) + (png.interlaced ? " of an interlacing pass" : ""));
            }
            auto* target =
                reinterpret_cast<uint8_t*>(pixels.data()) + (pass.y0 + y * pass.dy) * rowBytes;
            for (uint32_t x = 0; x < columns; ++x) {
                const size_t to = pass.x0 + size_t{x} * pass.dx;
                if (pixelBits >= 8) {
                    std::copy_n(row.data() + x * (pixelBits / 8), pixelBits / 8,
                                target + to * (pixelBits / 8));
                } else {
                    setPixelBits(target, to, pixelBits, pixelBitsAt(row.data(), x, pixelBits));
                }
            }
        }
    }
    return pixels;
}

std::string deflate(std::string_view bytes) {
    uLongf length = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(length, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &length,
                  reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        throw CPdfException(kError, "PNG file: its pixels could not be compressed");
    }
    out.resize(length);
    return out;
}

std::string hexText(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += digits[byte >> 4];
        out += digits[byte & 15];
    }
    return out;
}

std::string imageEntries(const PngFile& png, uint32_t depth, std::string_view colorSpace) {
    return "/Width " + std::to_string(png.width) + " /Height " + std::to_string(png.height) +
           " /ColorSpace " + std::string(colorSpace) + " /BitsPerComponent " +
           std::to_string(depth) + " /Filter /FlateDecode";
}

// The colour and the alpha of every pixel apart: rows of colours and rows of alphas.
void splitAlpha(const PngFile& png, const std::string& pixels, std::string& color,
                std::string& alpha) {
    const size_t sampleBytes = png.depth / 8;
    const size_t colorBytes = (channelsOf(png.colorType) - 1) * sampleBytes;
    const size_t count = size_t{png.width} * png.height;
    color.resize(count * colorBytes);
    alpha.resize(count * sampleBytes);
    for (size_t i = 0; i < count; ++i) {
        const char* pixel = pixels.data() + i * (colorBytes + sampleBytes);
        std::copy_n(pixel, colorBytes, color.data() + i * colorBytes);
        std::copy_n(pixel + colorBytes, sampleBytes, alpha.data() + i * sampleBytes);
    }
}

// The alpha of every pixel of a palette image from its entry's tRNS value (255 past its end).
std::string paletteAlpha(const PngFile& png, const std::string& pixels) {
    const size_t rowBytes = (size_t{png.width} * png.depth + 7) / 8;
    std::string alpha(size_t{png.width} * png.height, '\xff');
    for (size_t y = 0; y < png.height; ++y) {
        const auto* row = reinterpret_cast<const uint8_t*>(pixels.data()) + y * rowBytes;
        for (size_t x = 0; x < png.width; ++x) {
            const uint32_t index = pixelBitsAt(row, x, png.depth);
            if (index < png.transparency.size()) {
                alpha[y * png.width + x] = png.transparency[index];
            }
        }
    }
    return alpha;
}

// A colour key of grey or RGB: the /Mask ranges of one value each, at the file's depth.
std::string colorKeyMask(const PngFile& png) {
    std::string mask = " /Mask [";
    const uint32_t limit = (1u << png.depth) - 1;
    for (size_t i = 0; i + 1 < png.transparency.size(); i += 2) {
        const uint32_t value =
            std::min(limit, byteAt(png.transparency, i) << 8 | byteAt(png.transparency, i + 1));
        if (i > 0) {
            mask += ' ';
        }
        // Appended, not added up: GCC 12 warns wrongly (-Wrestrict) of "text + number".
        mask.append(std::to_string(value)).append(" ").append(std::to_string(value));
    }
    return mask + "]";
}

} // namespace

bool isPng(std::string_view bytes) {
    return bytes.substr(0, kSignature.size()) == kSignature;
}

PictureImage readPng(std::string_view bytes) {
    if (!isPng(bytes)) {
        refuse("no PNG signature");
    }
    const PngFile png = readChunks(bytes);
    if (png.colorType == 3 && png.palette.empty()) {
        refuse("a palette image without a PLTE chunk");
    }
    if (png.data.empty()) {
        refuse("no IDAT chunk");
    }
    const std::string pixels = decodePixels(png);
    PictureImage picture;
    picture.width = static_cast<int32_t>(png.width);
    picture.height = static_cast<int32_t>(png.height);
    if (png.hasDensity && png.densityX > 0 && png.densityY > 0) {
        picture.dotsPerInchX = static_cast<float>(png.densityX) * 0.0254f;
        picture.dotsPerInchY = static_cast<float>(png.densityY) * 0.0254f;
    }
    const bool grey = png.colorType == 0 || png.colorType == 4;
    std::string colorSpace = grey ? "/DeviceGray" : "/DeviceRGB";
    if (png.colorType == 3) {
        colorSpace = "[/Indexed /DeviceRGB " + std::to_string(png.palette.size() / 3 - 1) + " <" +
                     hexText(png.palette) + ">]";
    }
    ImageStream& image = picture.image;
    if (png.colorType == 4 || png.colorType == 6) {
        std::string color;
        std::string alpha;
        splitAlpha(png, pixels, color, alpha);
        image.entries = imageEntries(png, png.depth, colorSpace);
        image.data = deflate(color);
        picture.hasSoftMask = true;
        picture.softMask.entries = imageEntries(png, png.depth, "/DeviceGray");
        picture.softMask.data = deflate(alpha);
        return picture;
    }
    image.entries = imageEntries(png, png.depth, colorSpace);
    if (png.colorType == 3 && !png.transparency.empty()) {
        picture.hasSoftMask = true;
        picture.softMask.entries = imageEntries(png, 8, "/DeviceGray");
        picture.softMask.data = deflate(paletteAlpha(png, pixels));
    } else if (!png.transparency.empty()) {
        image.entries += colorKeyMask(png);
    }
    if (png.interlaced) {
        image.data = deflate(pixels);
        return picture;
    }
    // The file's own compressed rows: their filters are the PNG predictor's.
    image.entries += " /DecodeParms << /Predictor 15 /Colors " +
                     std::to_string(channelsOf(png.colorType)) + " /BitsPerComponent " +
                     std::to_string(png.depth) + " /Columns " + std::to_string(png.width) + " >>";
    image.data = png.data;
    return picture;
}
