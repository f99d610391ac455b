#include "stamp/layout/Placement.h"
#include "pdf/CPdfException.h"
#include "stamp/fonts/FontTable.h"
#include "stamp/layout/StampContent.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>
#include <utility>

namespace {

constexpr PageBox kLetter{0.0f, 0.0f, 612.0f, 792.0f};
constexpr PageBox kOffset{10.0f, 20.0f, 600.0f, 800.0f};

struct PlacementRow {
    const char* name;
    PageBox box;
    int32_t rotate;
    int32_t h;
    int32_t v;
    bool flipV;
    bool flipH;
    const char* alignment;
    int32_t width;
    int32_t size;
    float x;
    float y;
    float angle;
    int32_t angleSetting = 0;
    bool forcePortrait = true;
};

TEST(PlacementTest, PlaceText) {
    const PlacementRow rows[] = {
        // Unrotated and the rotations, default position 20, 10.
        {"default", kLetter, 0, 20, 10, false, false, "left", 0, 11, 20, 10, 0},
        {"box origin added", kOffset, 0, 20, 10, false, false, "left", 0, 11, 30, 30, 0},
        {"angle setting", kLetter, 0, 20, 10, false, false, "left", 0, 11, 20, 10, 30, 30},
        {"rotate 45 does not turn the page", kOffset, 45, 20, 10, false, false, "left", 0, 11, 30,
         30, 0},
        {"rotate 90 with -noforce", kLetter, 90, 20, 10, false, false, "left", 0, 11, 20, 10, 0, 0,
         false},
        // Flips.
        {"flip v", kOffset, 0, 20, 10, true, false, "left", 0, 11, 30, 790, 0},
        {"flip h", kOffset, 0, 20, 10, false, true, "left", 0, 11, 580, 30, 0},
        {"both flips measure from the top right", kOffset, 0, 20, 10, true, true, "left", 0, 11,
         580, 790, 0},
        {"flip h with -noforce", kLetter, 90, 20, 10, false, true, "left", 0, 11, 592, 10, 0, 0,
         false},
        // Centring: the middle of the box.
        {"centre x", kLetter, 0, -1, 10, false, false, "left", 0, 11, 306, 10, 0},
        {"centre y", kLetter, 0, 20, -1, false, false, "left", 0, 11, 20, 396, 0},
        {"centre both on an offset box", kOffset, 0, -1, -1, false, false, "left", 0, 11, 305, 410,
         0},
        {"centre x then center alignment", kLetter, 0, -1, 10, false, false, "center", 3600, 14,
         281, 10, 0},
        // Alignment: s = (w / 72) * size / 14, halved for "center", truncated.
        {"left ignores the width", kLetter, 0, 20, 10, false, false, "left", 3600, 14, 20, 10, 0},
        {"right 3600", kLetter, 0, 20, 10, false, false, "right", 3600, 14, -30, 10, 0},
        {"right 3599", kLetter, 0, 20, 10, false, false, "right", 3599, 14, -29, 10, 0},
        {"right at size 11 truncates", kLetter, 0, 20, 10, false, false, "right", 3600, 11, -19, 10,
         0},
        {"center 3600", kLetter, 0, 20, 10, false, false, "center", 3600, 14, -5, 10, 0},
        {"center 3599 truncates", kLetter, 0, 20, 10, false, false, "center", 3599, 14, -4, 10, 0},
        {"Right shifts like right", kLetter, 0, 20, 10, false, false, "Right", 3600, 14, -30, 10,
         0},
        {"cent shifts the full width", kLetter, 0, 20, 10, false, false, "cent", 3600, 14, -30, 10,
         0},
        {"Left is not left", kLetter, 0, 20, 10, false, false, "Left", 3600, 14, -30, 10, 0},
        {"negative width truncates toward zero", kLetter, 0, 20, 10, false, false, "center", -3599,
         14, 44, 10, 0},
    };
    for (const PlacementRow& row : rows) {
        PlacementInput in;
        in.box = row.box;
        in.rotate = row.rotate;
        in.positionX = row.h;
        in.positionY = row.v;
        in.angle = row.angleSetting;
        in.forcePortrait = row.forcePortrait;
        in.flipVertical = row.flipV;
        in.flipHorizontal = row.flipH;
        in.alignment = row.alignment;
        in.textWidth = row.width;
        in.fontSize = row.size;
        const PlacementResult out = placeText(in);
        EXPECT_EQ(out.x, row.x) << row.name;
        EXPECT_EQ(out.y, row.y) << row.name;
        EXPECT_EQ(out.angle, row.angle) << row.name;
    }
}

// Where the viewer shows a user-space point of the box on a page turned clockwise by turn:
// distance from the shown left edge and from the shown bottom.
std::pair<float, float> shownPoint(const PageBox& b, int32_t turn, float x, float y) {
    switch (turn) {
    case 90:
        return {y - b.y0, b.x1 - x};
    case 180:
        return {b.x1 - x, b.y1 - y};
    case 270:
        return {b.y1 - y, x - b.x0};
    default:
        return {x - b.x0, y - b.y0};
    }
}

// Every option means the same on the shown page for each turn: expected positions are
// fractions of the shown width and height (0 left/bottom, 1 right/top, 0.5 centre) plus points.
TEST(PlacementTest, OptionsMeanTheSameOnTheShownPage) {
    struct Row {
        const char* name;
        int32_t h;
        int32_t v;
        bool flipV;
        bool flipH;
        const char* alignment;
        float centredLineOffset;
        float uFraction;
        float uPoints;
        float wFraction;
        float wPoints;
    };
    // Text 3600/1000 wide at size 14: "right" moves it back 50 points, "center" 25.
    const Row rows[] = {
        {"from the bottom left", 20, 10, false, false, "left", 0, 0, 20, 0, 10},
        {"flip v: from the top", 20, 10, true, false, "left", 0, 0, 20, 1, -10},
        {"flip h: from the right", 20, 10, false, true, "left", 0, 1, -20, 0, 10},
        {"both flips: from the top right", 20, 10, true, true, "left", 0, 1, -20, 1, -10},
        {"right ends at the position", 20, 10, false, false, "right", 0, 0, -30, 0, 10},
        {"flip h right", 30, 20, false, true, "right", 0, 1, -80, 0, 20},
        {"both flips center", 20, 10, true, true, "center", 0, 1, -45, 1, -10},
        {"centre across", -1, 10, false, false, "left", 0, 0.5f, 0, 0, 10},
        {"centre across with flip h and center", -1, 10, false, true, "center", 0, 0.5f, -25, 0,
         10},
        {"centre up with flip v", 20, -1, true, false, "left", 0, 0, 20, 0.5f, 0},
        {"centre both, center", -1, -1, false, false, "center", 0, 0.5f, -25, 0.5f, 0},
        {"a line of a centred block", 20, -1, false, false, "left", 14, 0, 20, 0.5f, 14},
        {"a lower line of a centred block", -1, -1, false, false, "right", -7, 0.5f, -50, 0.5f, -7},
    };
    const int32_t rotates[] = {0, 90, 180, 270, -90, -270, 450, 360, -180};
    for (const int32_t rotate : rotates) {
        const int32_t turn = ((rotate % 360) + 360) % 360;
        const bool sideways = turn == 90 || turn == 270;
        const float shownWidth = sideways ? kOffset.y1 - kOffset.y0 : kOffset.x1 - kOffset.x0;
        const float shownHeight = sideways ? kOffset.x1 - kOffset.x0 : kOffset.y1 - kOffset.y0;
        for (const Row& row : rows) {
            PlacementInput in;
            in.box = kOffset;
            in.rotate = rotate;
            in.positionX = row.h;
            in.positionY = row.v;
            in.flipVertical = row.flipV;
            in.flipHorizontal = row.flipH;
            in.alignment = row.alignment;
            in.centredLineOffset = row.centredLineOffset;
            in.textWidth = 3600;
            in.fontSize = 14;
            const PlacementResult out = placeText(in);
            const auto [u, w] = shownPoint(kOffset, turn, out.x, out.y);
            const std::string name = std::string(row.name) + ", /Rotate " + std::to_string(rotate);
            EXPECT_FLOAT_EQ(u, row.uFraction * shownWidth + row.uPoints) << name;
            EXPECT_FLOAT_EQ(w, row.wFraction * shownHeight + row.wPoints) << name;
            // Upright on the shown page: the text turns with the page.
            EXPECT_FLOAT_EQ(out.angle, static_cast<float>(rotate % 360)) << name;
        }
    }
}

// Right and centre alignment move a turned text back along its own baseline: the end (or the
// middle) of its advance, drawn in the direction of the text matrix, lands on the position that
// left alignment starts at, on every turn of the page, with flips and with -noforce.
TEST(PlacementTest, AlignmentRunsAlongTheTextsOwnDirection) {
    struct Row {
        int32_t angle;
        int32_t h;
        int32_t v;
        bool flipV;
        bool flipH;
        bool exact; // width from an embedded font's advances
    };
    const Row rows[] = {
        {0, -1, -1, false, false, false},   {30, -1, -1, false, false, false},
        {45, -1, -1, false, false, false},  {90, -1, -1, false, false, false},
        {-45, -1, -1, false, false, false}, {180, -1, -1, false, false, false},
        {30, 30, 20, false, true, false},   {-45, 30, 20, true, true, false},
        {90, 40, 60, true, false, false},   {45, -1, -1, false, false, true},
        {-30, 30, 20, false, true, true},
    };
    const char* const alignments[] = {"left", "center", "right"};
    const int32_t rotates[] = {0, 90, 180, -90};
    for (const bool forcePortrait : {true, false}) {
        for (const int32_t rotate : rotates) {
            for (const Row& row : rows) {
                PlacementInput in;
                in.box = kOffset;
                in.rotate = rotate;
                in.forcePortrait = forcePortrait;
                in.positionX = row.h;
                in.positionY = row.v;
                in.flipVertical = row.flipV;
                in.flipHorizontal = row.flipH;
                in.angle = row.angle;
                // 3600 thousandths at size 14: an advance of 50 points by either measure.
                in.textWidth = 3600;
                in.exactTextWidth = row.exact ? 3571.42857f : -1.0f;
                in.fontSize = 14;
                in.alignment = "left";
                const PlacementResult start = placeText(in);
                for (const char* alignment : alignments) {
                    in.alignment = alignment;
                    const PlacementResult out = placeText(in);
                    const std::string name =
                        std::string(alignment) + ", -angle" + std::to_string(row.angle) +
                        ", /Rotate " + std::to_string(rotate) + ", pos " + std::to_string(row.h) +
                        "," + std::to_string(row.v) + (row.flipV ? " -flipv" : "") +
                        (row.flipH ? " -fliph" : "") + (row.exact ? " exact" : "") +
                        (forcePortrait ? "" : " -noforce");
                    EXPECT_EQ(out.angle, start.angle) << name;
                    const double along = std::string_view(alignment) == "left"     ? 0.0
                                         : std::string_view(alignment) == "center" ? 25.0
                                                                                   : 50.0;
                    const double theta = stampAngleRadians(out.angle);
                    // Unturned text keeps its former shift along the shown axis, from which the
                    // drawn angle (3.14 for pi) strays on a turned page by up to 0.0024 radians.
                    const double tolerance = row.angle == 0 ? 0.003 * along + 2e-3 : 2e-3;
                    EXPECT_NEAR(out.x + along * std::cos(theta), start.x, tolerance) << name;
                    EXPECT_NEAR(out.y + along * std::sin(theta), start.y, tolerance) << name;
                }
            }
        }
    }
}

TEST(PlacementTest, HostileRotateDoesNotOverflow) {
    PlacementInput in;
    in.rotate = 2147483647;
    in.angle = 2147483647;
    const PlacementResult out = placeText(in);
    EXPECT_EQ(out.angle, 2147483648.0f);
    EXPECT_EQ(out.x, 20.0f);
}

struct BoxRow {
    const char* name;
    std::string text;
    std::string pageSize;
    PageBox expected;
};

constexpr PageBox kFallback{1.0f, 2.0f, 3.0f, 4.0f};

TEST(PlacementTest, ReadBox) {
    const BoxRow rows[] = {
        {"media box", "<< /MediaBox [0 0 595 842] >>", "", {0, 0, 595, 842}},
        {"crop box wins",
         "<< /MediaBox [0 0 595 842] /CropBox [10 20 500 700] >>",
         "",
         {10, 20, 500, 700}},
        {"no box gives the fallback", "<< /Type /Page >>", "", kFallback},
        {"decimals", "<</MediaBox[0 0 595.28 841.89]>>", "", {0, 0, 595.28f, 841.89f}},
        {"negatives", "/MediaBox [-10 -10 600 800]", "", {-10, -10, 600, 800}},
        {".5 reads as 5", "/MediaBox [0 0 .5 792]", "", {0, 0, 5, 792}},
        {"missing numbers keep the default", "/MediaBox [0 0 300]", "", {0, 0, 300, 792}},
        {"more than four numbers", "/MediaBox [1 2 3 4 5 6]", "", {1, 2, 3, 4}},
        {"indirect box that cannot be read gives the fallback",
         "/MediaBox 7 0 R /Kids [3 0 R 9 0 R]", "", kFallback},
        {"key without numbers", "<< /MediaBox", "", {0, 0, 612, 792}},
        {"unterminated array", "<< /MediaBox [0 0 595.2", "", {0, 0, 595.2f, 792}},
        {"a box given twice has its last value",
         "/MediaBox [0 0 100 100] /CropBox [0 0 200 200] /MediaBox [0 0 300 300] "
         "/CropBox [0 0 400 400]",
         "",
         {0, 0, 400, 400}},
        {"a media box given twice has its last value",
         "/MediaBox [0 0 100 100] /MediaBox [0 0 300 300]",
         "",
         {0, 0, 300, 300}},
        {"page size of three numbers", "", "0,0,400", {0, 0, 400, 792}},
        {"page size of four numbers", "", "10,20,300,400", {10, 20, 300, 400}},
        {"page size with blanks before numbers", "", "-5, 6,7,8", {-5, 6, 7, 8}},
        {"page size stops at a blank before a comma", "", "1 ,2,3,4", {1, 0, 612, 792}},
        {"page size that is no number", "", "abc", {0, 0, 612, 792}},
    };
    for (const BoxRow& row : rows) {
        const PageBox box = !row.pageSize.empty() ? readPageSize(row.pageSize)
                                                  : readBox(row.text, kFallback, nullptr);
        EXPECT_EQ(box.x0, row.expected.x0) << row.name;
        EXPECT_EQ(box.y0, row.expected.y0) << row.name;
        EXPECT_EQ(box.x1, row.expected.x1) << row.name;
        EXPECT_EQ(box.y1, row.expected.y1) << row.name;
    }
}

TEST(PlacementTest, ReadBoxStaysInsideItsText) {
    // The view ends inside the third number; the bytes after it in memory are not read.
    const std::string text = "/MediaBox [0 0 612 792]";
    const PageBox box = readBox(std::string_view(text.data(), 16), kFallback, nullptr);
    EXPECT_EQ(box.x1, 6.0f);
    EXPECT_EQ(box.y1, 792.0f);
}

// The settings and the page go into the placement as they stand; the text's width is that of
// its font, or the width an embedded font gives.
TEST(PlacementTest, ComputeTextPlacementUsesTheStampSettings) {
    StampDefinition stamp;
    stamp.positionX = 40;
    stamp.positionY = -1;
    stamp.angle = 15;
    stamp.flipHorizontal = true;
    stamp.alignment = "center";
    PageEntry page;
    page.box = kOffset;
    page.rotate = 450;
    const std::string text = "Page 12 of 340 - Exhibit A";

    PlacementInput in;
    in.box = kOffset;
    in.rotate = 90;
    in.positionX = 40;
    in.positionY = -1;
    in.angle = 15;
    in.flipHorizontal = true;
    in.alignment = "center";
    in.fontSize = 20;
    in.textWidth = getTextWidth(stamp.fontName, text);
    ASSERT_GT(in.textWidth, 72 * 2);
    const PlacementResult expected = placeText(in);
    ASSERT_NE(expected.x, kOffset.x1 - 40.0f);
    in.textWidth = 0;
    in.exactTextWidth = 5000.0f;
    const PlacementResult expectedGlyphs = placeText(in);
    ASSERT_TRUE(expectedGlyphs.x != expected.x || expectedGlyphs.y != expected.y);

    const struct {
        const char* name;
        float glyphWidth;
        PlacementResult expected;
    } rows[] = {{"font table width", -1.0f, expected}, {"glyph width", 5000.0f, expectedGlyphs}};
    for (const auto& row : rows) {
        const PlacementResult placed = computeTextPlacement(stamp, page, 20, text, row.glyphWidth);
        EXPECT_EQ(placed.x, row.expected.x) << row.name;
        EXPECT_EQ(placed.y, row.expected.y) << row.name;
        EXPECT_EQ(placed.angle, row.expected.angle) << row.name;
    }
}

} // namespace
