#include "support/ImageBuilder.h"

#include <cstdlib>
#include <zlib.h>

namespace qm_test {

namespace {

std::string bigEndian(uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
            static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string filterRows(const std::string& rows, size_t rowBytes, size_t pixelBytes) {
    std::string out;
    for (size_t y = 0; y * rowBytes < rows.size(); ++y) {
        const std::string row = rows.substr(y * rowBytes, rowBytes);
        const bool sub = y % 2 == 1 && pixelBytes > 0;
        out += static_cast<char>(sub ? 1 : 0);
        for (size_t i = 0; i < row.size(); ++i) {
            const int left =
                sub && i >= pixelBytes ? static_cast<unsigned char>(row[i - pixelBytes]) : 0;
            out += static_cast<char>(static_cast<unsigned char>(row[i]) - left);
        }
    }
    return out;
}

std::string encodeRows(const PngLayout& layout, const std::string& pixels) {
    const size_t rowBytes =
        layout.pixelBytes > 0 ? layout.width * layout.pixelBytes : pixels.size() / layout.height;
    if (!layout.interlaced) {
        return filterRows(pixels, rowBytes, layout.pixelBytes);
    }
    static const uint32_t passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                          {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    std::string out;
    for (const auto& p : passes) {
        std::string passPixels;
        size_t columns = 0;
        for (uint32_t y = p[1]; y < layout.height; y += p[3]) {
            columns = 0;
            for (uint32_t x = p[0]; x < layout.width; x += p[2]) {
                passPixels +=
                    pixels.substr((y * layout.width + x) * layout.pixelBytes, layout.pixelBytes);
                ++columns;
            }
        }
        if (columns > 0 && !passPixels.empty()) {
            out += filterRows(passPixels, columns * layout.pixelBytes, layout.pixelBytes);
        }
    }
    return out;
}

} // namespace

std::string pngChunk(const std::string& type, const std::string& data) {
    const std::string body = type + data;
    const auto crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
    return bigEndian(static_cast<uint32_t>(data.size())) + body + bigEndian(crc);
}

std::string deflated(const std::string& bytes) {
    uLongf length = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(length, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &length,
             reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()));
    out.resize(length);
    return out;
}

std::string makePng(const PngLayout& layout, const std::string& pixels, const std::string& extra) {
    std::string header = bigEndian(layout.width) + bigEndian(layout.height);
    header += static_cast<char>(layout.depth);
    header += static_cast<char>(layout.colorType);
    header += std::string(2, '\0');
    header += static_cast<char>(layout.interlaced ? 1 : 0);
    return std::string("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + extra +
           pngChunk("IDAT", deflated(encodeRows(layout, pixels))) + pngChunk("IEND", "");
}

std::string jpegSegment(int marker, const std::string& data) {
    const size_t length = data.size() + 2;
    return std::string{'\xff', static_cast<char>(marker), static_cast<char>(length >> 8),
                       static_cast<char>(length)} +
           data;
}

std::string jpegFrame(int marker, int precision, int height, int width, int components) {
    std::string data{static_cast<char>(precision), static_cast<char>(height >> 8),
                     static_cast<char>(height),    static_cast<char>(width >> 8),
                     static_cast<char>(width),     static_cast<char>(components)};
    for (int i = 0; i < components; ++i) {
        data += {static_cast<char>(i + 1), '\x11', '\0'};
    }
    return jpegSegment(marker, data);
}

std::string makeJpeg(const std::string& markers) {
    return "\xff\xd8" + markers + jpegSegment(0xDA, std::string("\x01\x01\x00\x00\x3f\x00", 6)) +
           "\x12\x34\xff\xd9";
}

namespace {

// Bits written from the most significant end of each byte, an 0xFF byte followed by a stuffed
// zero; the last byte filled with ones.
struct BitWriter {
    std::string bytes;
    int used = 0;
    void put(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            if (used == 0) {
                bytes += '\0';
            }
            if ((value >> i) & 1) {
                bytes.back() = static_cast<char>(bytes.back() | (0x80 >> used));
            }
            used = (used + 1) % 8;
            if (used == 0 && bytes.back() == '\xff') {
                bytes += '\0';
            }
        }
    }
    void finish() {
        while (used != 0) {
            put(1, 1);
        }
    }
};

} // namespace

std::string makeFlatJpeg(int blocksWide, int blocksHigh, const std::vector<int>& samples) {
    const int components = static_cast<int>(samples.size());
    std::string markers;
    if (components == 3) {
        markers += jpegSegment(0xE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
    } else if (components == 4) {
        markers += jpegSegment(0xEE, std::string("Adobe\0\x64\0\0\0\0\0", 12));
    }
    markers += jpegSegment(0xDB, std::string(1, '\0') + std::string(64, '\x01'));
    markers += jpegFrame(0xC0, 8, blocksHigh * 8, blocksWide * 8, components);
    // DC table 0: the categories 0 to 11 with codes of four bits, each its own number. AC table
    // 0: the end of block alone, coded as one 0 bit.
    std::string dc(1, '\x00');
    dc += std::string("\0\0\0\x0c", 4) + std::string(12, '\0');
    for (int c = 0; c < 12; ++c) {
        dc += static_cast<char>(c);
    }
    std::string ac(1, '\x10');
    ac += std::string("\x01", 1) + std::string(15, '\0') + std::string(1, '\0');
    markers += jpegSegment(0xC4, dc + ac);
    std::string scan(1, static_cast<char>(components));
    for (int i = 0; i < components; ++i) {
        scan += {static_cast<char>(i + 1), '\0'};
    }
    scan += std::string("\0\x3f\0", 3);
    BitWriter bits;
    std::vector<int> predicted(samples.size(), 0);
    for (int block = 0; block < blocksWide * blocksHigh; ++block) {
        for (size_t i = 0; i < samples.size(); ++i) {
            const int dcValue = (samples[i] - 128) * 8; // the flat block's coefficient
            const int diff = dcValue - predicted[i];
            predicted[i] = dcValue;
            int category = 0;
            while ((std::abs(diff) >> category) != 0) {
                ++category;
            }
            bits.put(static_cast<uint32_t>(category), 4);
            if (category > 0) {
                // A negative difference is written as its value minus one, in category bits.
                const int coded = diff >= 0 ? diff : diff + (1 << category) - 1;
                bits.put(static_cast<uint32_t>(coded), category);
            }
            bits.put(0, 1); // end of block
        }
    }
    bits.finish();
    return "\xff\xd8" + markers + jpegSegment(0xDA, scan) + bits.bytes + "\xff\xd9";
}

} // namespace qm_test
