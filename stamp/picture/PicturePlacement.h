#pragma once

#include "stamp/layout/Placement.h"
#include "stamp/pass/StampDefinition.h"
#include "stamp/picture/PictureImage.h"

#include <array>

// A picture's size on the page in points.
struct PictureSize {
    float width = 0.0f;
    float height = 0.0f;
};

// The picture's own size (its pixels at its resolution) scaled by the stamp's -scale percent, or
// fitted to its -width or -height in points (both given: the largest size within both); the
// aspect is always kept.
PictureSize pictureSize(const StampDefinition& stamp, const PictureImage& picture);
// The same for a picture whose own size in points is natural.
PictureSize pictureSize(const StampDefinition& stamp, const PictureSize& natural);

// The matrix that draws the image (its unit square) on the page: placed as the text is placed
// by the position, flips and page turn; its lower left corner at the position when aligned
// left, its middle when centred, its lower right corner otherwise, turned with the stamp's
// angle about that point.
std::array<float, 6> placePicture(const StampDefinition& stamp, const PageEntry& page,
                                  const PictureSize& size);
