#pragma once

#include <cstdint>
#include <string>

// Up to ten rows of the font sizes file: a font size and a page-width limit.
struct SizeTable {
    static constexpr int kCapacity = 10;
    int32_t size[kCapacity] = {};
    int32_t widthLimit[kCapacity] = {};
    int32_t count = 0;
};

// What one stamp draws and where: its text and numbering, font, colour and placement, each
// with its default. The front end fills it from the command line; the pass only reads it.
struct StampDefinition {
    // ---- pages and numbering
    int32_t startPage = 1;
    int32_t endPage = 99999;
    int32_t startNumber = 1;
    int32_t maskWidth = 0;
    int32_t nth = 0;
    bool sequential = false;
    bool reverse = false;
    bool twoUp = false;
    bool abTwoUp = false;
    bool numberOnly = false;
    bool lowerRoman = false;
    bool upperRoman = false;
    bool noPageNumbers = false;

    // ---- text
    std::string prefixText = "Page ";
    std::string separatorText = " / ";
    std::string endText;

    // ---- font
    std::string fontName = "Arial";
    // -embedfont: a font file ("file" or "file.ttc,N") whose subset draws the text as UTF-8.
    std::string embedFontFile;
    std::string fontMetricsFile;
    std::string fontSizesFile;
    SizeTable sizeTable;
    // The size when no row of the sizes table covers the page's width.
    int32_t baseSize = 11;

    // ---- colour
    uint32_t rgbColor = 0;
    uint32_t cmykColor = 0;
    int32_t opacity = 100;
    // -box: a filled rectangle in this RGB colour behind the text, when boxSet.
    bool boxSet = false;
    uint32_t boxColor = 0;

    // ---- placement
    int32_t angle = 0;
    bool forcePortrait = true;
    bool flipVertical = false;
    bool flipHorizontal = false;
    std::string alignment = "left";
    std::string pageSizeText;
    int32_t positionX = 20;
    int32_t positionY = 10;
    // With a centred vertical position: points above the centre where the text goes (the lines
    // of a text-lines file are centred as one block).
    float centredLineOffset = 0.0f;
    // -under: drawn before the page's own content instead of after it.
    bool under = false;

    // ---- picture
    // -image: a JPEG or PNG file drawn instead of the text, placed as the text is.
    std::string imageFile;
    // -overlay: page overlayPage (from 1) of another PDF file drawn instead of the text, at the
    // size of its box.
    std::string overlayFile;
    int32_t overlayPage = 1;
    // Its size: the file's own (its pixels at its resolution, else 72 per inch) in percent, or
    // fitted to a width or height in points (both: within both), its aspect kept.
    int32_t pictureScale = 100;
    int32_t pictureWidth = 0;
    int32_t pictureHeight = 0;
};
