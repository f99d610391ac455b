#include "stamp/fonts/FontTable.h"
#include "stamp/layout/CStampDrawing.h"
#include "stamp/layout/Placement.h"
#include "stamp/layout/StampContent.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The views in the result point into color, which must outlive it.
StampContentInput defaultContent(const PlacementResult& placed, std::string_view color) {
    StampContentInput in;
    in.style.graphicsStateName = "GS3";
    in.place.x = placed.x;
    in.place.y = placed.y;
    in.place.angleRadians = stampAngleRadians(placed.angle);
    in.style.colorOperator = color;
    in.style.fontResourceName = "F2";
    in.place.fontSize = 11;
    in.text = "Page 1 / 2";
    return in;
}

TEST(ContentStreamTest, SaveStreamBytes) {
    EXPECT_EQ(formatStreamObject("q\n"),
              " 0 obj\n<<\n/Length 2 \n>>\nstream\nq\n\nendstream\nendobj\n");
}

TEST(ContentStreamTest, DefaultStampStreamOfAnUnrotatedLetterPage) {
    const PlacementResult placed = placeText(PlacementInput{});
    const std::string color = formatColorOperator(0, 0);
    const std::string content = formatStampContent(defaultContent(placed, color));
    EXPECT_EQ(content, "\nQ\nBT\n/GS3 gs\n"
                       "1.000000 0.000000 -0.000000 1.000000 20.000000 10.000000 Tm\n"
                       "0.000000 0.000000 0.000000 rg\n"
                       "/F2 11 Tf\n"
                       "(Page 1 / 2) Tj\nET\n");
    EXPECT_EQ(formatStreamObject(content),
              " 0 obj\n<<\n/Length 133 \n>>\nstream\n" + content + "\nendstream\nendobj\n");
}

// The placement of the page's text, then its stream, each from the settings and the page alone.
TEST(ContentStreamTest, StampStreamPlacesThenFormats) {
    StampDefinition stamp;
    stamp.angle = 90;
    stamp.rgbColor = 0xFF0000;
    PageEntry page;
    page.box = PageBox{100.0f, 50.0f, 612.0f, 792.0f};
    const PlacementResult placed = computeTextPlacement(stamp, page, 11, "Page 2 / 2", -1.0f);
    const std::string color = formatColorOperator(stamp.rgbColor, stamp.cmykColor);
    StampContentInput in;
    in.style.graphicsStateName = "GS7";
    in.place.x = placed.x;
    in.place.y = placed.y;
    in.place.angleRadians = stampAngleRadians(placed.angle);
    in.style.colorOperator = color;
    in.style.fontResourceName = "F5";
    in.place.fontSize = 11;
    in.text = "Page 2 / 2";

    std::string content;
    std::string object;
    buildStampStream(in, content, object);
    EXPECT_NE(object.find("\nQ\nBT\n/GS7 gs\n"
                          "0.000796 1.000000 -1.000000 0.000796 120.000000 60.000000 Tm\n"
                          "1.000000 0.000000 0.000000 rg\n/F5 11 Tf\n(Page 2 / 2) Tj\nET\n"),
              std::string::npos)
        << object;
    // The buffers of the page before are replaced, not added to.
    const std::string first = object;
    buildStampStream(in, content, object);
    EXPECT_EQ(object, first);
    EXPECT_EQ(content, formatStampContent(in));
}

struct AngleRow {
    const char* name;
    float degrees;
    const char* matrix;
};

TEST(ContentStreamTest, MatrixUsesPiAs314) {
    const AngleRow rows[] = {
        {"0", 0.0f, "1.000000 0.000000 -0.000000 1.000000 "},
        {"90", 90.0f, "0.000796 1.000000 -1.000000 0.000796 "},
        {"180", 180.0f, "-0.999999 0.001593 -0.001593 -0.999999 "},
        {"-90", -90.0f, "0.000796 -1.000000 1.000000 0.000796 "},
    };
    for (const AngleRow& row : rows) {
        StampContentInput in;
        in.style.graphicsStateName = "GS1";
        in.place.angleRadians = stampAngleRadians(row.degrees);
        in.place.x = -30.0f;
        in.place.y = 595.28f;
        const std::string content = formatStampContent(in);
        EXPECT_NE(content.find(std::string(row.matrix) + "-30.000000 595.280029 Tm\n"),
                  std::string::npos)
            << row.name << ": " << content;
    }
}

struct ColorRow {
    const char* name;
    uint32_t rgb;
    uint32_t cmyk;
    const char* expected;
};

TEST(ContentStreamTest, ColorOperator) {
    const ColorRow rows[] = {
        {"default", 0, 0, "0.000000 0.000000 0.000000 rg"},
        {"red", 0xFF0000, 0, "1.000000 0.000000 0.000000 rg"},
        {"green half, blue full", 0x0080FF, 0, "0.000000 0.501961 1.000000 rg"},
        {"cyan", 0, 0xFF000000, "1.000000 0.000000 0.000000 0.000000 k"},
        {"magenta and half yellow", 0, 0x00FF8000, "0.000000 1.000000 0.501961 0.000000 k"},
        {"black", 0, 0x000000FF, "0.000000 0.000000 0.000000 1.000000 k"},
        {"cmyk wins over rgb", 0xFF0000, 0x00000001, "0.000000 0.000000 0.000000 0.003922 k"},
    };
    for (const ColorRow& row : rows) {
        EXPECT_EQ(formatColorOperator(row.rgb, row.cmyk), row.expected) << row.name;
    }
}

struct OpacityRow {
    float opacity;
    const char* expected;
};

TEST(ContentStreamTest, GraphicsState) {
    const OpacityRow rows[] = {
        {100, " 0 obj<</Type/ExtGState/ca 1.00>>\n endobj\n"},
        {30, " 0 obj<</Type/ExtGState/ca 0.30>>\n endobj\n"},
        {0, " 0 obj<</Type/ExtGState/ca 0.00>>\n endobj\n"},
        {150, " 0 obj<</Type/ExtGState/ca 1.50>>\n endobj\n"},
    };
    for (const OpacityRow& row : rows) {
        EXPECT_EQ(formatGraphicsState(row.opacity), row.expected) << row.opacity;
    }
}

TEST(ContentStreamTest, LongTextIsNotCut) {
    const std::string text(2000, 'x');
    StampContentInput in = defaultContent(PlacementResult{20.0f, 10.0f, 0.0f}, "0 0 0 rg");
    in.text = text;
    const std::string content = formatStampContent(in);
    ASSERT_NE(content.find("(" + text + ") Tj\nET\n"), std::string::npos);

    const std::string object = formatStreamObject(content);
    const std::string head = " 0 obj\n<<\n/Length ";
    ASSERT_EQ(object.compare(0, head.size(), head), 0);
    EXPECT_EQ(std::strtoul(object.c_str() + head.size(), nullptr, 10), content.size());
    const std::string tail = " \n>>\nstream\n" + content + "\nendstream\nendobj\n";
    ASSERT_GE(object.size(), tail.size());
    EXPECT_EQ(object.substr(object.size() - tail.size()), tail);
}

TEST(ContentStreamTest, TextEndsAtAZeroByteAsPrintfWouldCutIt) {
    StampContentInput in;
    const std::string text("ab\0cd", 5);
    in.text = text;
    EXPECT_NE(formatStampContent(in).find("(ab) Tj"), std::string::npos);
}

// The box behind the text, drawing under the content and the artifact marking of a tagged
// document, alone and together: each wraps the same text drawing.
TEST(ContentStreamTest, BoxUnderAndArtifactWrapTheText) {
    const std::string matrix = "1.000000 0.000000 -0.000000 1.000000 20.000000 10.000000";
    const std::string text = "0 0 0 rg\n/F2 11 Tf\n(Page 1 / 2) Tj\nET\n";
    const std::string plain = "BT\n/GS3 gs\n" + matrix + " Tm\n" + text;
    const std::string boxed = "/GS3 gs\nq\n" + matrix +
                              " cm\n1.000000 1.000000 0.000000 rg\n"
                              "-5.000000 -9.000000 60.000000 30.000000 re\nf\nQ\nBT\n" +
                              matrix + " Tm\n" + text;
    const std::string bdc = "/Artifact << /Type /Pagination >> BDC\n";
    struct Row {
        const char* name;
        bool box;
        bool under;
        bool artifact;
        std::string expected;
    };
    const Row rows[] = {
        {"on top", false, false, false, "\nQ\n" + plain},
        {"box", true, false, false, "\nQ\n" + boxed},
        {"under", false, true, false, "q\n" + plain + "Q\nq\n"},
        {"artifact", false, false, true, "\nQ\n" + bdc + plain + "EMC\n"},
        {"all three", true, true, true, "q\n" + bdc + boxed + "EMC\nQ\nq\n"},
    };
    for (const Row& row : rows) {
        StampContentInput in = defaultContent(PlacementResult{20.0f, 10.0f, 0.0f}, "0 0 0 rg");
        if (row.box) {
            // Two and a half ems at size 20 from the descent -0.2 to the ascent 0.8: 50 by 20
            // points and a margin of 5 on every side.
            const StampBox box = stampBoxRect(2500.0f, -200.0f, 800.0f, 20);
            in.style.boxColorOperator = "1.000000 1.000000 0.000000 rg";
            in.place.boxX = box.x;
            in.place.boxY = box.y;
            in.place.boxWidth = box.width;
            in.place.boxHeight = box.height;
        }
        in.style.under = row.under;
        in.style.artifact = row.artifact;
        EXPECT_EQ(formatStampContent(in), row.expected) << row.name;
    }
}

// Under the content the fixed stream restores after the page's contents instead of saving
// before them; the box spans the advance and the font's height, a quarter em around.
TEST(ContentStreamTest, FixedStreamAndBoxOfTheText) {
    EXPECT_EQ(formatStreamObject(fixedStreamText(false)), formatStreamObject("q\n"));
    EXPECT_EQ(formatStreamObject(fixedStreamText(true)), formatStreamObject("Q\n"));

    // Arial's box runs from -210 to 896 thousandths.
    const auto advance = static_cast<float>(getTextWidth("Arial", "Page 2 / 2"));
    const StampBox box = stampBoxRect(advance, -210.0f, 896.0f, 20);
    EXPECT_FLOAT_EQ(box.x, -5.0f);
    EXPECT_FLOAT_EQ(box.width, advance * 20 / 1000 + 10.0f);
    EXPECT_NEAR(box.y, -4.2f - 5.0f, 1e-4);
    EXPECT_NEAR(box.height, 22.12f + 10.0f, 1e-4);
}

} // namespace

// Pages in a row drawn by one stamp's drawing: each differs from the one before in one of its
// inputs, and shows that input, never what the one before asked for.
TEST(ContentStreamTest, EachInputOfTheDrawingShowsFromPageToPage) {
    struct Row {
        const char* name;
        std::string gs = "GS3";
        std::string font = "F2";
        std::string color = "0 0 0 rg";
        int32_t size = 11;
        float x = 20.0f;
        float y = 10.0f;
        std::string text = "Page 1 / 2";
        std::string glyphs;
        bool pageWrap = true;
        std::string boxColor;
        float boxWidth = 60.0f;
    };
    auto fixed = [](float value) {
        char text[64];
        std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
        return std::string(text);
    };
    std::vector<Row> rows(14);
    rows[0].name = "first page";
    rows[1].name = "the number";
    rows[1].text = "Page 2 / 2";
    rows[2].name = "the graphics state";
    rows[2].gs = "GS4";
    rows[3].name = "the font";
    rows[3].font = "F9";
    rows[4].name = "the size";
    rows[4].size = 12;
    rows[5].name = "the colour";
    rows[5].color = "1 0 0 rg";
    rows[6].name = "x";
    rows[6].x = 21.5f;
    rows[7].name = "x of minus zero";
    rows[7].x = -0.0f;
    rows[8].name = "y";
    rows[8].y = 700.25f;
    rows[9].name = "glyphs";
    rows[9].glyphs = "[<0012> -5 <0034>]";
    rows[10].name = "the restore left to the stream";
    rows[10].pageWrap = false;
    rows[11].name = "a box";
    rows[11].boxColor = "1 1 0 rg";
    rows[12].name = "a wider box";
    rows[12].boxColor = "1 1 0 rg";
    rows[12].boxWidth = 80.0f;
    rows[13].name = "the box's colour";
    rows[13].boxColor = "0 1 1 rg";
    // Forwards, backwards and forwards again: every row after another of each kind.
    CStampDrawing drawing;
    for (int round = 0; round < 3; ++round) {
        for (size_t k = 0; k < rows.size(); ++k) {
            const Row& row = rows[round == 1 ? rows.size() - 1 - k : k];
            StampContentInput in;
            in.style.graphicsStateName = row.gs;
            in.style.fontResourceName = row.font;
            in.style.colorOperator = row.color;
            in.place.fontSize = row.size;
            in.place.x = row.x;
            in.place.y = row.y;
            in.text = row.text;
            in.glyphArray = row.glyphs;
            in.style.pageWrap = row.pageWrap;
            in.style.boxColorOperator = row.boxColor;
            in.place.boxX = -5.0f;
            in.place.boxY = -9.0f;
            in.place.boxWidth = row.boxWidth;
            in.place.boxHeight = 30.0f;
            const std::string matrix =
                "1.000000 0.000000 -0.000000 1.000000 " + fixed(row.x) + " " + fixed(row.y);
            std::string expected = row.pageWrap ? "\nQ\n" : "";
            if (row.boxColor.empty()) {
                expected += "BT\n/" + row.gs + " gs\n";
            } else {
                expected += "/" + row.gs + " gs\nq\n" + matrix + " cm\n" + row.boxColor +
                            "\n-5.000000 -9.000000 " + fixed(row.boxWidth) +
                            " 30.000000 re\nf\nQ\nBT\n";
            }
            expected += matrix + " Tm\n" + row.color + "\n/" + row.font + " " +
                        std::to_string(row.size) + " Tf\n" +
                        (row.glyphs.empty() ? "(" + row.text + ") Tj" : row.glyphs + " TJ") +
                        "\nET\n";
            std::string drawn = "kept";
            drawing.append(drawn, in);
            EXPECT_EQ(drawn, "kept" + expected) << row.name << ", round " << round;
        }
    }
}
