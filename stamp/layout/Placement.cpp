#include "stamp/layout/Placement.h"

#include "pdf/CPdfObjectFraming.h"
#include "pdf/PdfSyntax.h"
#include "stamp/files/NumberScan.h"
#include "stamp/fonts/FontTable.h"
#include "stamp/layout/StampContent.h"

#include <cmath>

namespace {

// One axis of the page as the viewer shows it, in user space: the coordinate (x or y) that runs
// along it, the box's extent on that coordinate, and whether the coordinate grows the same way
// as the shown axis (left to right, bottom to top) or against it.
struct ShownAxis {
    float* coordinate;
    float low;
    float high;
    bool forward;

    // distance from the shown start edge (left, bottom) or, when fromEnd, the end edge.
    void measure(float distance, bool fromEnd) const {
        *coordinate = forward != fromEnd ? low + distance : high - distance;
    }
    void centre() const { *coordinate = low + (high - low) * 0.5f; }
    // Moves along the shown axis: toward its end for a positive delta.
    void move(float delta) const {
        if (forward) {
            *coordinate += delta;
        } else {
            *coordinate -= delta;
        }
    }
};

// The /Rotate value as a clockwise turn of 0, 90, 180 or 270 degrees. A value that is not a
// multiple of 90 does not turn the page.
int32_t shownTurn(int32_t rotate) {
    if (rotate % 90 != 0) {
        return 0;
    }
    const int32_t turn = rotate % 360;
    return turn < 0 ? turn + 360 : turn;
}

} // namespace

PlacementResult placeText(const PlacementInput& in) {
    const PageBox& b = in.box;
    // -noforce places the text as on an unturned page.
    const int32_t turn = in.forcePortrait ? shownTurn(in.rotate) : 0;

    float x = b.x0;
    float y = b.y0;
    float angle = static_cast<float>(in.angle);
    if (turn != 0) {
        // The text turns with the page to stand upright as shown; a negative /Rotate adds as it
        // is written.
        angle += static_cast<float>(in.rotate % 360);
    }

    // The shown page's horizontal (left to right) and vertical (bottom to top) axes. The viewer
    // turns the page clockwise: at 90 the shown left edge is the box's bottom and the shown
    // bottom its right edge; at 180 both run backwards; at 270 the shown left edge is the top.
    const ShownAxis xAxis{&x, b.x0, b.x1, true};
    const ShownAxis yAxis{&y, b.y0, b.y1, true};
    ShownAxis across = xAxis;
    ShownAxis up = yAxis;
    if (turn == 90) {
        across = yAxis;
        up = {&x, b.x0, b.x1, false};
    } else if (turn == 180) {
        across = {&x, b.x0, b.x1, false};
        up = {&y, b.y0, b.y1, false};
    } else if (turn == 270) {
        across = {&y, b.y0, b.y1, false};
        up = xAxis;
    }

    if (in.positionX == -1) {
        across.centre();
    } else {
        across.measure(static_cast<float>(in.positionX), in.flipHorizontal);
    }
    if (in.positionY == -1) {
        up.centre();
        if (in.centredLineOffset != 0.0f) {
            up.move(in.centredLineOffset);
        }
    } else {
        up.measure(static_cast<float>(in.positionY), in.flipVertical);
    }

    if (in.alignment == "left") {
        return {x, y, angle};
    }

    // Any word but "left" and "center" shifts by the full width, as "right" does.
    float shift = 0.0f;
    if (in.exactTextWidth >= 0.0f) {
        const float exact = in.exactTextWidth / 1000.0f * static_cast<float>(in.fontSize);
        shift = in.alignment == "center" ? 0.5f * exact : exact;
    } else {
        shift = static_cast<float>((in.textWidth / 72) * (in.fontSize / 14.0));
        if (in.alignment == "center") {
            shift *= 0.5f;
        }
        // Truncated toward zero as an integer would be, without the overflow of a float-to-int
        // cast.
        shift = std::trunc(shift);
    }
    if (in.angle == 0) {
        // The text runs along the shown horizontal: it ends (or is centred) at the position by
        // moving back along it.
        across.move(-shift);
        return {x, y, angle};
    }
    // A turned text moves back along its own baseline, so that the middle or the end of its
    // advance lands on the position and the baseline still passes through it. The direction is
    // the one the text matrix draws, with the same rounded angle.
    const double radians = static_cast<double>(stampAngleRadians(angle));
    x = static_cast<float>(static_cast<double>(x) - static_cast<double>(shift) * std::cos(radians));
    y = static_cast<float>(static_cast<double>(y) - static_cast<double>(shift) * std::sin(radians));
    return {x, y, angle};
}

namespace {

using pdf_syntax::isDigit;

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
        *slots[stored++] = number_scan::scanBoxNumber(text, pos);
    }
    return box;
}

// The page-size text read as "x0,y0,x1,y1" into presets 0, 0, 612, 792; reading stops at the
// first number or comma that is not there.

} // namespace

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

PageBox readPageSize(std::string_view text) {
    int32_t values[4] = {0, 0, 612, 792};
    size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != ',') {
                break;
            }
            ++pos;
        }
        if (!number_scan::scanDecimal(text, pos, values[i])) {
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

PageBox readBox(std::string_view text, const PageBox& fallback, CPdfObjectFraming* objects) {
    size_t keyEnd = pdf_syntax::findLastText(text, "/CropBox");
    if (keyEnd == 0) {
        keyEnd = pdf_syntax::findLastText(text, "/MediaBox");
    }
    return readBoxAt(text, keyEnd, fallback, objects);
}

PageBox readBoxAt(std::string_view text, size_t keyEnd, const PageBox& fallback,
                  CPdfObjectFraming* objects) {
    if (keyEnd == 0) {
        return fallback;
    }
    // A box kept in an object of its own ("/MediaBox 7 0 R") is read from that object; its
    // reference numbers are no box.
    const size_t valueStart = pdf_syntax::skipWhitespace(text, keyEnd + 1);
    int64_t number = 0;
    int64_t generation = 0;
    if (valueStart < text.size() && text[valueStart] != '[' &&
        pdf_syntax::readReference(text.substr(valueStart), number, generation)) {
        std::string boxText;
        if (objects == nullptr || number > INT32_MAX ||
            !objects->getObjectText(static_cast<int32_t>(number), boxText)) {
            return fallback;
        }
        const size_t body = pdf_syntax::findBody(boxText);
        if (body >= boxText.size() || boxText[body] != '[') {
            return fallback;
        }
        return scanBoxNumbers(boxText, body);
    }
    return scanBoxNumbers(text, keyEnd);
}

PlacementInput textPlacementInput(const StampDefinition& stamp, const PageEntry& page,
                                  int32_t fontSize, std::string_view literalText,
                                  float glyphWidth) {
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
    if (stamp.alignment != "left") {
        if (glyphWidth >= 0.0f) {
            input.exactTextWidth = glyphWidth;
        } else {
            input.textWidth = getTextWidth(stamp.fontName, literalText);
        }
    }
    input.fontSize = fontSize;
    return input;
}

PlacementResult computeTextPlacement(const StampDefinition& stamp, const PageEntry& page,
                                     int32_t fontSize, std::string_view literalText,
                                     float glyphWidth) {
    return placeText(textPlacementInput(stamp, page, fontSize, literalText, glyphWidth));
}
