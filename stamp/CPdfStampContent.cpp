#include "stamp/CPdfStamp.h"

#include "stamp/StampContent.h"

std::string CPdfStamp::buildSaveStream() const {
    return formatStreamObject("q\n");
}

std::string CPdfStamp::buildColorOperator() const {
    return formatColorOperator(rgbColor, cmykColor);
}

std::string CPdfStamp::buildStampStream(size_t pageIndex) {
    computeTextPlacement(pageIndex);
    // The angle field holds radians from here on; the next placement starts again from degrees.
    textAngle = stampAngleRadians(textAngle);

    StampContentInput content;
    content.graphicsStateName = graphicsStateName;
    content.x = textX;
    content.y = textY;
    content.angleRadians = textAngle;
    const std::string color = buildColorOperator();
    content.colorOperator = color;
    content.fontResourceName = fontResourceName;
    content.fontSize = currentSize;
    content.text = currentText;
    return formatStreamObject(formatStampContent(content));
}

std::string CPdfStamp::buildGraphicsState(float opacityPercent) const {
    return formatGraphicsState(opacityPercent);
}
