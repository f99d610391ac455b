#include "stamp/picture/JpegReader.h"

#include "pdf/CPdfException.h"

#include <cstdint>
#include <string>

namespace {

constexpr const char* kError = "Image file error";

uint32_t byteAt(std::string_view bytes, size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}

uint32_t wordAt(std::string_view bytes, size_t at) {
    return byteAt(bytes, at) << 8 | byteAt(bytes, at + 1);
}

std::string markerName(uint32_t marker) {
    static const char digits[] = "0123456789ABCDEF";
    return std::string("0xFF") + digits[marker >> 4] + digits[marker & 15];
}

[[noreturn]] void refuse(const std::string& cause) {
    throw CPdfException(kError, "JPEG file: " + cause);
}

// What the markers before the first scan tell.
struct JpegFrame {
    bool found = false;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t components = 0;
    bool adobe = false;
    uint32_t densityUnits = 0; // JFIF: 0 none (an aspect ratio), 1 per inch, 2 per centimetre
    uint32_t densityX = 0;
    uint32_t densityY = 0;
};

// The frame header (SOF0 to SOF2): precision, height, width and the components.
void readFrame(std::string_view segment, size_t at, JpegFrame& frame) {
    if (frame.found) {
        refuse("a second frame header at offset " + std::to_string(at));
    }
    if (segment.size() < 6) {
        refuse("frame header at offset " + std::to_string(at) + " is too short");
    }
    const uint32_t precision = byteAt(segment, 0);
    frame.height = wordAt(segment, 1);
    frame.width = wordAt(segment, 3);
    frame.components = byteAt(segment, 5);
    if (precision != 8) {
        refuse(std::to_string(precision) + "-bit samples (only 8 bits can be placed)");
    }
    if (frame.width == 0 || frame.height == 0) {
        refuse("frame of " + std::to_string(frame.width) + " x " + std::to_string(frame.height) +
               " pixels at offset " + std::to_string(at));
    }
    if (frame.components != 1 && frame.components != 3 && frame.components != 4) {
        refuse(std::to_string(frame.components) + " components (grey, RGB or CMYK can be placed)");
    }
    if (segment.size() < 6 + 3 * size_t{frame.components}) {
        refuse("frame header at offset " + std::to_string(at) + " is too short");
    }
    frame.found = true;
}

void readApplication(uint32_t marker, std::string_view segment, JpegFrame& frame) {
    if (marker == 0xE0 && segment.size() >= 12 &&
        segment.substr(0, 5) == std::string_view("JFIF\0", 5)) {
        frame.densityUnits = byteAt(segment, 7);
        frame.densityX = wordAt(segment, 8);
        frame.densityY = wordAt(segment, 10);
    } else if (marker == 0xEE && segment.size() >= 12 && segment.substr(0, 5) == "Adobe") {
        frame.adobe = true;
    }
}

// The markers from the start of the image to the first scan.
JpegFrame readMarkers(std::string_view bytes) {
    JpegFrame frame;
    size_t at = 2;
    while (true) {
        if (at >= bytes.size()) {
            refuse("the file ends at offset " + std::to_string(at) + ", before its first scan");
        }
        if (byteAt(bytes, at) != 0xFF) {
            refuse("no marker at offset " + std::to_string(at));
        }
        while (at < bytes.size() && byteAt(bytes, at) == 0xFF) {
            ++at; // fill bytes before the marker's code
        }
        if (at >= bytes.size()) {
            refuse("the file ends at offset " + std::to_string(at) + ", before its first scan");
        }
        const uint32_t marker = byteAt(bytes, at);
        const size_t markerAt = at - 1;
        ++at;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            continue; // markers without a segment
        }
        if (marker == 0xD9 || marker == 0xD8 || marker == 0x00) {
            refuse("marker " + markerName(marker) + " at offset " + std::to_string(markerAt) +
                   " before the first scan");
        }
        if (at + 2 > bytes.size()) {
            refuse("the file ends at offset " + std::to_string(bytes.size()) + ", in marker " +
                   markerName(marker));
        }
        const size_t length = wordAt(bytes, at);
        if (length < 2 || at + length > bytes.size()) {
            refuse("marker " + markerName(marker) + " at offset " + std::to_string(markerAt) +
                   " runs past the end of the file");
        }
        const std::string_view segment = bytes.substr(at + 2, length - 2);
        at += length;
        if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
            readFrame(segment, markerAt, frame);
        } else if (marker == 0xC3 ||
                   (marker >= 0xC5 && marker <= 0xCF && marker != 0xC8 && marker != 0xCC)) {
            refuse("frame " + markerName(marker) +
                   " is lossless, hierarchical or arithmetic-coded (baseline, extended and "
                   "progressive Huffman coding can be placed)");
        } else if (marker == 0xDA) {
            if (!frame.found) {
                refuse("a scan at offset " + std::to_string(markerAt) + " before the frame header");
            }
            return frame;
        } else if (marker >= 0xE0 && marker <= 0xEF) {
            readApplication(marker, segment, frame);
        }
    }
}

} // namespace

bool isJpeg(std::string_view bytes) {
    return bytes.size() >= 3 && byteAt(bytes, 0) == 0xFF && byteAt(bytes, 1) == 0xD8 &&
           byteAt(bytes, 2) == 0xFF;
}

PictureImage readJpeg(std::string_view bytes) {
    if (!isJpeg(bytes)) {
        refuse("no start-of-image marker");
    }
    const JpegFrame frame = readMarkers(bytes);
    PictureImage picture;
    picture.width = static_cast<int32_t>(frame.width);
    picture.height = static_cast<int32_t>(frame.height);
    if (frame.densityX > 0 && frame.densityY > 0 &&
        (frame.densityUnits == 1 || frame.densityUnits == 2)) {
        const float perInch = frame.densityUnits == 1 ? 1.0f : 2.54f;
        picture.dotsPerInchX = static_cast<float>(frame.densityX) * perInch;
        picture.dotsPerInchY = static_cast<float>(frame.densityY) * perInch;
    }
    static const char* const spaces[] = {"/DeviceGray", "/DeviceRGB", "/DeviceCMYK"};
    std::string& entries = picture.image.entries;
    entries = "/Width " + std::to_string(frame.width) + " /Height " + std::to_string(frame.height) +
              " /ColorSpace " +
              spaces[frame.components == 1   ? 0
                     : frame.components == 3 ? 1
                                             : 2] +
              " /BitsPerComponent 8 /Filter /DCTDecode";
    if (frame.components == 4 && frame.adobe) {
        entries += " /Decode [1 0 1 0 1 0 1 0]";
    }
    picture.image.data = bytes;
    return picture;
}
