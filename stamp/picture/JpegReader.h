#pragma once

#include "stamp/picture/PictureImage.h"

#include <string_view>

// A JPEG file as a DCT-encoded image: its markers are read up to the first scan for the frame's
// size, components and coding (baseline, extended or progressive Huffman, 8 bits), the JFIF
// density and the Adobe marker; the file's bytes are the image's data as they stand. An Adobe
// file of four components stores CMYK inverted, which the image's /Decode turns back. Throws
// CPdfException for a file that is cut short before its first scan, codes its frame otherwise,
// or has a marker segment that runs past its end.
PictureImage readJpeg(std::string_view bytes);

// Whether bytes start as a JPEG file does (its start-of-image marker).
bool isJpeg(std::string_view bytes);
