#include "stamp/pass/CPdfStamp.h"

#include "stamp/layout/Placement.h"
#include "stamp/layout/StampContent.h"

std::string CPdfStamp::buildSaveStream() const {
    return formatStreamObject("q\n");
}

std::string CPdfStamp::buildColorOperator() const {
    return formatColorOperator(stamp.rgbColor, stamp.cmykColor);
}

const std::string& CPdfStamp::buildStampStream(size_t pageIndex) {
    const PlacementResult placed = computeTextPlacement(pageIndex);

    StampContentInput content;
    content.graphicsStateName = graphicsStateName;
    content.x = placed.x;
    content.y = placed.y;
    content.angleRadians = stampAngleRadians(placed.angle);
    content.colorOperator = formatColorOperator(stamp.rgbColor, stamp.cmykColor);
    content.fontResourceName = fontResourceName;
    content.fontSize = currentSize;
    content.text = currentText;
    if (!stamp.embedFontFile.empty()) {
        content.glyphArray = glyphArray_;
    }
    // Both texts are built in buffers kept from page to page.
    stampContent_.clear();
    appendStampContent(stampContent_, content);
    stampObject_.clear();
    appendStreamObject(stampObject_, stampContent_);
    return stampObject_;
}

std::string CPdfStamp::buildGraphicsState(float opacityPercent) const {
    return formatGraphicsState(opacityPercent);
}
