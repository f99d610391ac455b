#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// One image stream of a picture: the entries of its dictionary after /Type and /Subtype (size,
// colour space, bits, filter; no /Length) and its data as the output holds it.
struct ImageStream {
    std::string entries;
    std::string data;
};

// A picture read from an image file: its size in pixels, its resolution, and the image that
// draws it with, for a file with transparency, its soft mask (a grey image of the alpha).
struct PictureImage {
    int32_t width = 0;
    int32_t height = 0;
    // The file's own resolution, or 72 dots per inch (one pixel a point) when it gives none.
    float dotsPerInchX = 72.0f;
    float dotsPerInchY = 72.0f;
    ImageStream image;
    bool hasSoftMask = false;
    ImageStream softMask;
};

// Reads a JPEG or PNG file, told apart by its first bytes. Throws CPdfException ("Image file
// error") with the cause, what was found where, for a file that cannot be read, is of another
// kind, or is damaged.
PictureImage readPictureFile(const std::string& path);
// The same from the file's bytes.
PictureImage readPicture(std::string_view bytes);

// The image XObject's object text without its number (" 0 obj ...endobj\n"), naming the object
// softMaskObject as its /SMask when that is not 0.
std::string formatImageObject(const ImageStream& stream, int64_t softMaskObject);
