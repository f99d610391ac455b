#include "stamp/picture/PicturePlacement.h"

#include "stamp/layout/StampContent.h"

#include <cmath>

PictureSize pictureSize(const StampDefinition& stamp, const PictureImage& picture) {
    return pictureSize(
        stamp, PictureSize{static_cast<float>(picture.width) * 72.0f / picture.dotsPerInchX,
                           static_cast<float>(picture.height) * 72.0f / picture.dotsPerInchY});
}

PictureSize pictureSize(const StampDefinition& stamp, const PictureSize& natural) {
    const float naturalWidth = natural.width;
    const float naturalHeight = natural.height;
    float factor = static_cast<float>(stamp.pictureScale) / 100.0f;
    if (stamp.pictureWidth > 0 || stamp.pictureHeight > 0) {
        const float byWidth = static_cast<float>(stamp.pictureWidth) / naturalWidth;
        const float byHeight = static_cast<float>(stamp.pictureHeight) / naturalHeight;
        factor = stamp.pictureWidth <= 0    ? byHeight
                 : stamp.pictureHeight <= 0 ? byWidth
                                            : std::fmin(byWidth, byHeight);
    }
    return {naturalWidth * factor, naturalHeight * factor};
}

std::array<float, 6> placePicture(const StampDefinition& stamp, const PageEntry& page,
                                  const PictureSize& size) {
    // The width as the advance of a text at a size of 1000: right and centre alignment move back
    // along the picture's baseline by all or half of it.
    const PlacementResult placed = computeTextPlacement(stamp, page, 1000, {}, size.width);
    const float radians = stampAngleRadians(placed.angle);
    const float c = std::cos(radians);
    const float s = std::sin(radians);
    float x = placed.x;
    float y = placed.y;
    if (stamp.alignment == "center") {
        // Centred on both of its axes: half its height down along its own vertical.
        x += 0.5f * size.height * s;
        y -= 0.5f * size.height * c;
    }
    return {size.width * c, size.width * s, -size.height * s, size.height * c, x, y};
}
