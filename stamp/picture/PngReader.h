#pragma once

#include "stamp/picture/PictureImage.h"

#include <string_view>

// A PNG file as an image: every chunk's CRC checked, the header's size, depth and colour type
// (grey, RGB, palette, each with or without alpha; 1 to 16 bits as PNG allows them), the
// palette, the transparency and the physical pixel size read, and the pixels inflated and
// unfiltered to prove them whole. A file without transparency that is not interlaced keeps its
// compressed data as it stands, with the PNG predictor named in its /DecodeParms; any other is
// written from its pixels: de-interlaced, its alpha (or its palette's) split off into the soft
// mask, a colour key of grey or RGB as the image's /Mask. Throws CPdfException for a damaged or
// unsupported file, with what was found where.
PictureImage readPng(std::string_view bytes);

// Whether bytes start with the PNG signature.
bool isPng(std::string_view bytes);
