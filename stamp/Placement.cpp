#include "stamp/Placement.h"

#include <cmath>

namespace {

bool isQuarterTurn(int32_t r) {
    return r == 90 || r == -270;
}
bool isHalfTurn(int32_t r) {
    return r == 180 || r == -180;
}
bool isThreeQuarterTurn(int32_t r) {
    return r == 270 || r == -90;
}

} // namespace

PlacementResult placeText(const PlacementInput& in) {
    const PageBox& b = in.box;
    const int32_t r = in.rotate;
    const float h = static_cast<float>(in.positionX);
    const float v = static_cast<float>(in.positionY);
    // Only /Rotate makes a page count as turned; its width against its height is not looked at.
    const bool rotated = r != 0 && in.forcePortrait;
    const bool rightOrCenter = in.alignment == "right" || in.alignment == "center";
    // Float sums, so that a hostile /Rotate cannot overflow an integer.
    const float turn = static_cast<float>(r);

    float x = b.x0;
    float y = b.y0;
    float angle = static_cast<float>(in.angle);
    // Whether the alignment shift moves along Y against the text direction.
    bool shiftReversed = false;

    if (!in.flipVertical && !in.flipHorizontal) {
        if (!rotated) {
            x = b.x0 + h;
            y = b.y0 + v;
        } else {
            angle += turn;
            if (isQuarterTurn(r)) {
                x = b.x1 - v;
                y = b.y0 + h;
            } else if (isHalfTurn(r)) {
                x = b.x1 - h;
                y = b.y1 - v;
            } else if (isThreeQuarterTurn(r)) {
                x = b.x0 + v;
                y = b.y1 - h;
            }
        }
    }

    if (in.flipVertical) {
        if (!rotated) {
            x = b.x0 + h;
            y = b.y1 - v;
        } else {
            angle += turn;
            if (isQuarterTurn(r)) {
                x = b.x0 + v;
                y = b.y0 + h;
            } else if (isHalfTurn(r)) {
                x = b.x1 - h;
                y = b.y0 + v;
            } else if (isThreeQuarterTurn(r)) {
                x = b.x1 - h;
                y = b.y1 - v;
            }
        }
    }

    // Works on what the vertical flip left: with both flips Y ends at y1 and the angle is A + 2R.
    if (in.flipHorizontal) {
        if (!rotated) {
            x = b.x1 - h;
            y = y + v;
        } else {
            angle += turn;
            if (isQuarterTurn(r)) {
                x = b.x1 - h;
                y = b.y1 - v;
                if (rightOrCenter) {
                    x = b.x1 - v;
                    y = b.y1 - h;
                }
            } else if (isHalfTurn(r)) {
                x = x + h;
                y = b.y1 - v;
                shiftReversed = rightOrCenter;
            } else if (isThreeQuarterTurn(r)) {
                x = x + v;
                y = y + h;
                if (rightOrCenter) {
                    x = b.x0 + v;
                    y = b.y0 + h;
                }
                shiftReversed = rightOrCenter;
            }
        }
    }

    // Half the box's extent, measured from 0 rather than from the box's origin.
    if (in.positionX == -1) {
        if (rotated) {
            y = (b.y1 - b.y0) * 0.5f;
        } else {
            x = (b.x1 - b.x0) * 0.5f;
        }
    }
    if (in.positionY == -1) {
        if (rotated) {
            x = (b.x1 - b.x0) * 0.5f;
        } else {
            y = (b.y1 - b.y0) * 0.5f;
        }
    }

    if (in.alignment == "left") {
        return {x, y, angle};
    }

    // Any word but "left" and "center" shifts by the full width, as "right" does.
    float shift = static_cast<float>((in.textWidth / 72) * (in.fontSize / 14.0));
    if (in.alignment == "center") {
        shift *= 0.5f;
    }
    // Truncated toward zero as an integer would be, without the overflow of a float-to-int cast.
    const float d = std::trunc(shift);

    if (!rotated) {
        x -= d;
    } else if (!shiftReversed) {
        y -= d;
    } else if (isThreeQuarterTurn(r)) {
        y += d;
    } else if (isHalfTurn(r)) {
        x += d;
    }
    return {x, y, angle};
}
