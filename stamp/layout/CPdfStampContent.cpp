#include "stamp/pass/CPdfStamp.h"

#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfException.h"
#include "stamp/fonts/EmbeddedFont.h"
#include "stamp/fonts/FontTable.h"
#include "stamp/layout/Placement.h"
#include "stamp/layout/StampContent.h"

#include <algorithm>

std::string CPdfStamp::buildSaveStream() const {
    return formatStreamObject(fixedStreamText(stamp.under));
}

std::string CPdfStamp::buildColorOperator() const {
    return formatColorOperator(stamp.rgbColor, stamp.cmykColor);
}

void CPdfStamp::stampFontExtent(float& descent, float& ascent) const {
    if (embeddedFont_ && !stamp.embedFontFile.empty()) {
        descent = embeddedFont_->descent();
        ascent = embeddedFont_->ascent();
    } else if (const FontMetrics* font = findFont(stamp.fontName)) {
        descent = static_cast<float>(font->bbox[1]);
        ascent = static_cast<float>(font->bbox[3]);
    } else {
        descent = 0.0f;
        ascent = 0.0f;
    }
    // A metrics file's box may be anything: the box stays within two ems, and a font without
    // a usable height gets the usual one.
    descent = std::clamp(descent, -1000.0f, 0.0f);
    ascent = std::clamp(ascent, 0.0f, 1000.0f);
    if (ascent - descent < 100.0f) {
        descent = -200.0f;
        ascent = 800.0f;
    }
}

const std::string& CPdfStamp::buildStampStream(size_t pageIndex) {
    const PlacementResult placed = computeTextPlacement(pageIndex);

    StampContentInput content;
    content.graphicsStateName = graphicsStateName;
    content.x = placed.x;
    content.y = placed.y;
    content.angleRadians = stampAngleRadians(placed.angle);
    content.fontResourceName = fontResourceName;
    content.fontSize = currentSize;
    content.text = currentText;
    if (!stamp.embedFontFile.empty()) {
        content.glyphArray = glyphArray_;
    }
    content.under = stamp.under;
    content.artifact = markedDocument_;
    // The box colour is copied before the text's colour is formatted: the formatter keeps the
    // text of its last call only.
    std::string boxColor;
    if (stamp.boxSet) {
        boxColor = formatColorOperator(stamp.boxColor, 0);
        float descent = 0.0f;
        float ascent = 0.0f;
        stampFontExtent(descent, ascent);
        const float advance = stamp.embedFontFile.empty()
                                  ? static_cast<float>(getTextWidth(stamp.fontName, currentText))
                                  : glyphArrayWidth_;
        const StampBox box = stampBoxRect(advance, descent, ascent, currentSize);
        content.boxColorOperator = boxColor;
        content.boxX = box.x;
        content.boxY = box.y;
        content.boxWidth = box.width;
        content.boxHeight = box.height;
    }
    content.colorOperator = formatColorOperator(stamp.rgbColor, stamp.cmykColor);
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

bool CPdfStamp::isMarkedCatalog() {
    try {
        CPdfElement catalog;
        xref->fetchObject(rootObject, xref->root().generation, catalog);
        if (!catalog.is(ElementKind::Dictionary)) {
            return false;
        }
        CPdfElement markInfo;
        catalog.getDictionary()->getEntry("MarkInfo", markInfo);
        if (!markInfo.is(ElementKind::Dictionary)) {
            return false;
        }
        CPdfElement marked;
        markInfo.getDictionary()->getEntry("Marked", marked);
        return marked.is(ElementKind::Boolean) && marked.getBoolean();
    } catch (const CPdfException&) {
        return false;
    }
}
