#include "stamp/pass/CPdfStamp.h"

#include "pdf/CPdfException.h"
#include "pdf/PdfSyntax.h"
#include "stamp/files/NumberScan.h"
#include "stamp/fonts/FontTable.h"
#include "stamp/layout/Placement.h"

namespace {

using pdfsyntax::isDigit;

// The numbers of a box array, scanned from start up to the first "]" or the end of the text.
// At most four are stored; entries without a number keep the default box's values.
PageBox scanBoxNumbers(std::string_view text, size_t start) {
    PageBox box;
    float* const slots[] = {&box.x0, &box.y0, &box.x1, &box.y1};
    size_t stored = 0;
    size_t pos = start;
    while (pos < text.size() && text[pos] != ']' && stored < 4) {
        if (!isDigit(text[pos])) {
            ++pos;
            continue;
        }
        *slots[stored++] = numberscan::scanBoxNumber(text, pos);
    }
    return box;
}

// The page-size text read as "x0,y0,x1,y1" into presets 0, 0, 612, 792; reading stops at the
// first number or comma that is not there.
PageBox parsePageSize(std::string_view text) {
    int32_t values[4] = {0, 0, 612, 792};
    size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != ',') {
                break;
            }
            ++pos;
        }
        if (!numberscan::scanDecimal(text, pos, values[i])) {
            break;
        }
    }
    PageBox box;
    box.x0 = static_cast<float>(values[0]);
    box.y0 = static_cast<float>(values[1]);
    box.x1 = static_cast<float>(values[2]);
    box.y1 = static_cast<float>(values[3]);
    return box;
}

// The box's width as the integer that picks the font size; 0 for a box without width.
int32_t boxWidth(const PageBox& box) {
    const float width = box.x1 - box.x0;
    if (!(width > 0.0f)) {
        return 0;
    }
    if (width >= 2147483647.0f) {
        return INT32_MAX;
    }
    return static_cast<int32_t>(width);
}

} // namespace

PageBox CPdfStamp::readBox(std::string_view text, const PageBox& fallback) {
    if (!stamp.pageSizeText.empty()) {
        return parsePageSize(stamp.pageSizeText);
    }
    size_t keyEnd = pdfsyntax::findText(text, "/CropBox");
    if (keyEnd == 0) {
        keyEnd = pdfsyntax::findText(text, "/MediaBox");
    }
    if (keyEnd == 0) {
        return fallback;
    }
    // A box kept in an object of its own ("/MediaBox 7 0 R") is read from that object; its
    // reference numbers are no box.
    const size_t valueStart = pdfsyntax::skipWhitespace(text, keyEnd + 1);
    int64_t number = 0;
    int64_t generation = 0;
    if (valueStart < text.size() && text[valueStart] != '[' &&
        pdfsyntax::readReference(text.substr(valueStart), number, generation)) {
        std::string boxText;
        if (number > INT32_MAX || !getObjectText(static_cast<int32_t>(number), boxText)) {
            return fallback;
        }
        const size_t body = pdfsyntax::findBody(boxText);
        if (body >= boxText.size() || boxText[body] != '[') {
            return fallback;
        }
        return scanBoxNumbers(boxText, body);
    }
    return scanBoxNumbers(text, keyEnd);
}

PlacementResult CPdfStamp::computeTextPlacement(size_t pageIndex) {
    if (pageIndex >= pageList.size()) {
        throw CPdfException("Page index outside the page list\n");
    }
    const PageEntry& page = pageList[pageIndex];
    // The sizes file picks the size from the width of the box the text is placed in.
    currentSize = sizeForPageWidth(boxWidth(page.box));

    PlacementInput input;
    input.box = page.box;
    input.rotate = page.rotate;
    // Quarter turns beyond a full turn (540, -450, 360) show the page as their remainder does.
    if (input.rotate % 90 == 0) {
        input.rotate %= 360;
    }
    input.positionX = stamp.positionX;
    input.positionY = stamp.positionY;
    input.centredLineOffset = stamp.centredLineOffset;
    input.angle = stamp.angle;
    input.forcePortrait = stamp.forcePortrait;
    input.flipVertical = stamp.flipVertical;
    input.flipHorizontal = stamp.flipHorizontal;
    input.alignment = stamp.alignment;
    if (!stamp.embedFontFile.empty()) {
        input.exactTextWidth = glyphArrayWidth_;
    } else if (stamp.alignment != "left") {
        input.textWidth = getTextWidth(stamp.fontName, currentText);
    }
    input.fontSize = currentSize;

    return placeText(input);
}
