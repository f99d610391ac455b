#include "stamp/layout/Placement.h"

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
