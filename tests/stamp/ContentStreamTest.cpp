#include "stamp/layout/Placement.h"
#include "stamp/layout/StampContent.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// The views in the result point into color, which must outlive it.
StampContentInput defaultContent(const PlacementResult& placed, std::string_view color) {
    StampContentInput in;
    in.graphicsStateName = "GS3";
    in.x = placed.x;
    in.y = placed.y;
    in.angleRadians = stampAngleRadians(placed.angle);
    in.colorOperator = color;
    in.fontResourceName = "F2";
    in.fontSize = 11;
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
    StampContentInput in;
    in.graphicsStateName = "GS7";
    in.x = placed.x;
    in.y = placed.y;
    in.angleRadians = stampAngleRadians(placed.angle);
    in.colorOperator = formatColorOperator(stamp.rgbColor, stamp.cmykColor);
    in.fontResourceName = "F5";
    in.fontSize = 11;
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
        in.graphicsStateName = "GS1";
        in.angleRadians = stampAngleRadians(row.degrees);
        in.x = -30.0f;
        in.y = 595.28f;
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

} // namespace
