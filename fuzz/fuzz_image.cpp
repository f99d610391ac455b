// Bytes read as a picture stamp's image file (JPEG or PNG, told by the first bytes): a file is
// either refused with a cause or read into an image whose size is positive and whose streams
// hold data; its XObject is formatted as the output would write it.
#include "pdf/CPdfException.h"
#include "stamp/picture/PictureImage.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const PictureImage picture =
            readPicture(std::string_view(reinterpret_cast<const char*>(data), size));
        if (picture.width <= 0 || picture.height <= 0 || picture.image.data.empty() ||
            (picture.hasSoftMask && picture.softMask.data.empty())) {
            __builtin_trap();
        }
        formatImageObject(picture.image, picture.hasSoftMask ? 1 : 0);
    } catch (const CPdfException& e) {
        if (e.cause().empty()) {
            __builtin_trap(); // every refusal says why
        }
    }
    return 0;
}
