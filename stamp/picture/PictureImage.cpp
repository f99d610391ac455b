#include "stamp/picture/PictureImage.h"

#include "pdf/CPdfException.h"
#include "pdf/Limits.h"
#include "stamp/picture/JpegReader.h"
#include "stamp/picture/PngReader.h"

#include <fstream>
#include <iterator>

namespace {

constexpr const char* kError = "Image file error";

} // namespace

PictureImage readPicture(std::string_view bytes) {
    if (isJpeg(bytes)) {
        return readJpeg(bytes);
    }
    if (isPng(bytes)) {
        return readPng(bytes);
    }
    throw CPdfException(kError, "neither a JPEG nor a PNG file (by its first bytes)");
}

PictureImage readPictureFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        throw CPdfException(kError, "can't open the image file '" + path + "'");
    }
    const std::streamoff size = file.tellg();
    if (size < 0 || static_cast<uint64_t>(size) > limits::kMaxImageFileBytes) {
        throw CPdfException(kError, "the image file '" + path + "' is larger than " +
                                        std::to_string(limits::kMaxImageFileBytes >> 20) + " MiB");
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    file.seekg(0);
    if (!file.read(bytes.data(), size)) {
        throw CPdfException(kError, "can't read the image file '" + path + "'");
    }
    try {
        return readPicture(bytes);
    } catch (const CPdfException& e) {
        throw CPdfException(kError, "'" + path + "': " + e.cause());
    }
}

std::string formatImageObject(const ImageStream& stream, int64_t softMaskObject) {
    std::string out = " 0 obj\n<< /Type /XObject /Subtype /Image ";
    out += stream.entries;
    if (softMaskObject != 0) {
        out += " /SMask " + std::to_string(softMaskObject) + " 0 R";
    }
    out += " /Length " + std::to_string(stream.data.size()) + " >>\nstream\n";
    out += stream.data;
    out += "\nendstream\nendobj\n";
    return out;
}
