#pragma once

#include "stamp/pass/StampDefinition.h"

#include <cstdint>
#include <string_view>

class CPdfObjectFraming;

// A page box in PDF user space units: lower-left x, y, upper-right x, y.
struct PageBox {
    float x0 = 0.0f;
    float y0 = 0.0f;
    float x1 = 612.0f;
    float y1 = 792.0f;

    bool operator==(const PageBox&) const = default;
};

// One page of the page list, in document page order.
struct PageEntry {
    uint32_t objectNumber = 0;
    PageBox box;
    // Object number of the nearest page-tree node above the page that has /Resources
    // (0 when none has): what a page without resources of its own inherits.
    int32_t inheritedResourcesFrom = 0;
    // The number after the page's own "/Rotate", or else the nearest page-tree node's above it
    // (0 when none has one), read during the walk.
    int32_t rotate = 0;
};

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

    // Equal inputs place the text alike: a pass keeps the last page's place while they are.
    bool operator==(const PlacementInput&) const = default;
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

// The box of a -pagesize value ("x0,y0,x1,y1"): the numbers read up to the first that is
// missing or no number, the others those of a Letter page.
PageBox readPageSize(std::string_view text);
// The page's /CropBox, else its /MediaBox (read from its own object through objects when it is a
// reference; without objects such a box falls back), else the fallback. A key given twice has
// its last value.
PageBox readBox(std::string_view text, const PageBox& fallback, CPdfObjectFraming* objects);
// The box readBox reads, for the key that ends at keyEnd (the last byte of "/CropBox" or
// "/MediaBox", found by the caller; 0 for none).
PageBox readBoxAt(std::string_view text, size_t keyEnd, const PageBox& fallback,
                  CPdfObjectFraming* objects);
// The box's width as the integer that picks the font size; 0 for a box without width.
int32_t boxWidth(const PageBox& box);
// What the placement of the stamp's text on the page depends on, in the font size given: the
// text's width only where the alignment reads it. literalText is the text as drawn by Tj; a
// glyphWidth that is not negative is the width of an embedded font's glyphs in thousandths,
// which is used instead.
PlacementInput textPlacementInput(const StampDefinition& stamp, const PageEntry& page,
                                  int32_t fontSize, std::string_view literalText, float glyphWidth);
// Where the stamp's text goes on the page, and at what angle (degrees), in the font size given.
// literalText is the text as drawn by Tj (its width aligns it); a glyphWidth that is not
// negative is the width of an embedded font's glyphs in thousandths, which is used instead.
PlacementResult computeTextPlacement(const StampDefinition& stamp, const PageEntry& page,
                                     int32_t fontSize, std::string_view literalText,
                                     float glyphWidth);
