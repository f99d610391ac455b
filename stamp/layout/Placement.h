#pragma once

#include "stamp/pass/CPdfStamp.h"

#include <cstdint>
#include <string_view>

// What the placement of one page's text depends on.
struct PlacementInput {
    PageBox box;
    int32_t rotate = 0;     // the page's /Rotate, its own or inherited
    int32_t positionX = 20; // -1 centres on the axis
    int32_t positionY = 10;
    // With a centred positionY: points above the shown page's centre (a line of a centred block).
    float centredLineOffset = 0.0f;
    int32_t angle = 0; // degrees
    bool forcePortrait = true;
    bool flipVertical = false;
    bool flipHorizontal = false;
    std::string_view alignment = "left";
    int32_t textWidth = 0; // thousandths of the font size; read unless the alignment is "left"
    // When not negative, the width in thousandths of the font size from an embedded font's own
    // advances: the text then ends (or is centred) exactly at the position.
    float exactTextWidth = -1.0f;
    int32_t fontSize = 11;
};

// Text origin and angle (degrees) of the stamp on one page. The position, flips, centring and
// alignment mean the same on the page as the viewer shows it, whatever its /Rotate: x from the
// shown left edge (right with flipHorizontal), y from the shown bottom (top with flipVertical).
// Right and centre alignment move the text back along its own baseline, whatever its angle: the
// end (or the middle) of its advance lands on the position, and the baseline passes through it.
struct PlacementResult {
    float x = 0.0f;
    float y = 0.0f;
    float angle = 0.0f;
};

PlacementResult placeText(const PlacementInput& input);
