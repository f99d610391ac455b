#include "FontTestUtil.h"

#include "stamp/fonts/FontTable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

using font_test::TempFile;

namespace {

// A metrics file line: tag, name, bounding box, six unused fields, then the widths.
std::string metricsLine(const std::string& name, const std::string& bbox,
                        const std::vector<int>& widths) {
    std::string line = "FONT|";
    line += name;
    line += "|";
    line += bbox;
    line += "|0|0|0|0|0|0";
    for (int w : widths) {
        line += "|";
        line += std::to_string(w);
    }
    return line + "\n";
}

class FontTableTest : public testing::Test {
  protected:
    void TearDown() override { buildFontTable(""); }
};

TEST(FontMatchingKey, KeepsOnlyAsciiLettersWithTheirCase) {
    struct Row {
        const char* name;
        const char* key;
    };
    const Row rows[] = {
        {"Arial-Bold", "ArialBold"},
        {"Arial Bold", "ArialBold"},
        {"ArialBold", "ArialBold"},
        {"Wingdings3", "Wingdings"},
        {"a1-b2_c.d", "abcd"},
        {"arial", "arial"},
        {"\xC9t\xE9 Bold\r\n", "tBold"},
        {"12 - 34", ""},
        {"", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(fontMatchingKey(row.name), row.key) << "name «" << row.name << "»";
    }
}

TEST_F(FontTableTest, FindFontSelectsTheFirstEntryWithTheSameKey) {
    struct Row {
        const char* requested;
        const char* selected; // nullptr: no entry
    };
    const Row rows[] = {
        {"Arial", "Arial"},
        {"Arial-Bold", "Arial-Bold"},
        {"Arial Bold", "Arial-Bold"},
        {"ArialBold", "Arial-Bold"},
        {"Times New Roman", "TimesNewRoman"},
        {"Wingdings", "Wingdings"},
        {"Wingdings2", "Wingdings"},
        {"Wingdings3", "Wingdings"},
        {"Bauhaus 93", "Bauhaus93"},
        {"arial", nullptr},
        {"ARIAL", nullptr},
        {"NoSuchFont", nullptr},
        {"", nullptr},
        {"-12-", nullptr},
    };
    for (const Row& row : rows) {
        const FontMetrics* font = findFont(row.requested);
        if (row.selected == nullptr) {
            EXPECT_EQ(font, nullptr) << "«" << row.requested << "» should select nothing";
        } else {
            ASSERT_NE(font, nullptr) << "«" << row.requested << "» selects nothing";
            EXPECT_EQ(font->name, row.selected) << "«" << row.requested << "»";
        }
    }
}

TEST(BuiltinFonts, HasTheNamesInTableOrderWithOnlyTheWingdingsSharingAKey) {
    ASSERT_EQ(kBuiltinFontCount, 161);
    EXPECT_EQ(kBuiltinFonts[0].name, "Algerian");
    EXPECT_EQ(kBuiltinFonts[4].name, "Arial");
    EXPECT_EQ(kBuiltinFonts[74].name, "Helvetica");
    EXPECT_EQ(kBuiltinFonts[100].name, "LucidaConsole");
    EXPECT_EQ(kBuiltinFonts[139].name, "TimesNewRoman");
    EXPECT_EQ(kBuiltinFonts[157].name, "Wingdings");
    EXPECT_EQ(kBuiltinFonts[160].name, "ZapfDingbats");

    std::set<std::string> keys;
    std::vector<std::string> repeated;
    for (int i = 0; i < kBuiltinFontCount; ++i) {
        if (!keys.insert(fontMatchingKey(kBuiltinFonts[i].name)).second) {
            repeated.push_back(kBuiltinFonts[i].name);
        }
    }
    EXPECT_EQ(repeated, (std::vector<std::string>{"Wingdings2", "Wingdings3"}));
}

TEST(BuiltinFonts, EveryCodeHasAPlausibleWidth) {
    for (int i = 0; i < kBuiltinFontCount; ++i) {
        const FontMetrics& font = kBuiltinFonts[i];
        for (int code = 0; code < 256; ++code) {
            EXPECT_TRUE(font.widths[code] > 0 && font.widths[code] <= 2000)
                << font.name << " code " << code << " width " << font.widths[code];
        }
        EXPECT_LT(font.bbox[0], font.bbox[2]) << font.name;
        EXPECT_LT(font.bbox[1], font.bbox[3]) << font.name;
    }
}

TEST(BuiltinFonts, TellingRows) {
    constexpr int kVarying = -1;
    struct Row {
        const char* name;
        int32_t bbox[4];
        int32_t controls, space, digits, upperA, lowerA, lowerI;
    };
    const Row rows[] = {
        {"Arial", {-46, -210, 1000, 896}, 750, 278, 556, 667, 556, 222},
        {"Helvetica", {-166, -225, 1000, 931}, 600, 278, 556, 667, 556, 222},
        {"Times-Roman", {-168, -218, 1000, 898}, 600, 250, 500, 722, 444, 278},
        {"TimesNewRoman", {-77, -216, 1009, 896}, 778, 250, 500, 722, 444, 278},
        {"Courier", {-23, -250, 715, 805}, 600, 600, 600, 600, 600, 600},
        {"ZapfDingbats", {-1, -143, 981, 820}, 600, 278, kVarying, 692, 789, 713},
        {"Marlett", {0, 0, 1000, 1000}, 500, 500, 1000, 500, 1000, 1000},
    };
    for (const Row& row : rows) {
        const FontMetrics* font = findFont(row.name);
        ASSERT_NE(font, nullptr) << row.name;
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(font->bbox[i], row.bbox[i]) << row.name << " bbox[" << i << "]";
        }
        for (int code = 0; code < 32; ++code) {
            EXPECT_EQ(font->widths[code], row.controls) << row.name << " code " << code;
        }
        EXPECT_EQ(font->widths[32], row.space) << row.name << " space";
        std::set<int32_t> digitWidths;
        for (int code = '0'; code <= '9'; ++code) {
            digitWidths.insert(font->widths[code]);
            if (row.digits != kVarying) {
                EXPECT_EQ(font->widths[code], row.digits) << row.name << " digit " << code;
            }
        }
        if (row.digits == kVarying) {
            EXPECT_GT(digitWidths.size(), 1u) << row.name << " digits should vary";
        }
        EXPECT_EQ(font->widths['A'], row.upperA) << row.name << " A";
        EXPECT_EQ(font->widths['a'], row.lowerA) << row.name << " a";
        EXPECT_EQ(font->widths['i'], row.lowerI) << row.name << " i";
    }
}

TEST(BuiltinFonts, MonospacedFamiliesHaveOneWidthForAllCodes) {
    struct Row {
        const char* name;
        int32_t width;
    };
    const Row rows[] = {
        {"Courier", 600},
        {"Courier-Bold", 600},
        {"Courier-Oblique", 600},
        {"Courier-BoldOblique", 600},
        {"CourierNew", 600},
        {"CourierNew-Bold", 600},
        {"CourierNew-BoldItalic", 600},
        {"CourierNew-Italic", 600},
        {"LucidaConsole", 603},
    };
    for (const Row& row : rows) {
        const FontMetrics* font = findFont(row.name);
        ASSERT_NE(font, nullptr) << row.name;
        int differing = 0;
        for (int code = 0; code < 256; ++code) {
            differing += font->widths[code] != row.width;
        }
        EXPECT_EQ(differing, 0) << row.name << ": codes not " << row.width;
    }
}

TEST(BuiltinFonts, HighCodesFollowEachFontsEncoding) {
    struct Row {
        const char* name;
        int code;
        int32_t width;
        const char* glyph;
    };
    const Row rows[] = {
        {"Helvetica", 164, 167, "fraction (standard encoding)"},
        {"Helvetica", 39, 222, "quoteright (standard encoding)"},
        {"Helvetica-Bold", 164, 167, "fraction (standard encoding)"},
        {"Times-Roman", 164, 167, "fraction (standard encoding)"},
        {"Arial", 128, 556, "euro (code page 1252)"},
        {"Arial", 164, 556, "currency (code page 1252)"},
        {"Arial", 39, 191, "quotesingle (code page 1252)"},
        {"Arial", 129, 750, "unused code of code page 1252: filler"},
        {"TimesNewRoman", 150, 500, "en dash (code page 1252)"},
    };
    for (const Row& row : rows) {
        const FontMetrics* font = findFont(row.name);
        ASSERT_NE(font, nullptr) << row.name;
        EXPECT_EQ(font->widths[row.code], row.width) << row.name << " " << row.glyph;
    }
}

TEST_F(FontTableTest, TextWidthSumsTheWidthsOfTheBytes) {
    struct Row {
        const char* font;
        std::string text;
        int32_t width;
    };
    const Row rows[] = {
        {"Arial", "Page 1 / 12", 5115},
        {"Arial Bold", "", 0},
        {"Arial", "", 0},
        {"arial", "Page 1 / 12", 0},
        {"Courier", "abc", 1800},
        {"Helvetica", "\xA4", 167},
        {"Arial",
         std::string("12\0"
                     "99",
                     5),
         1112},
        {"LucidaConsole", "1234567890", 6030},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(getTextWidth(row.font, row.text), row.width)
            << "«" << row.text << "» in «" << row.font << "»";
    }
    EXPECT_EQ(getTextWidth("Wingdings3", "abc\xF0"), getTextWidth("Wingdings", "abc\xF0"));
}

TEST(PdfNameEscape, EscapesWhiteSpaceDelimitersHashAndBytesOutsidePrintables) {
    struct Row {
        std::string name;
        const char* escaped;
    };
    const Row rows[] = {
        {"Arial", "Arial"},
        {"Arial Bold", "Arial#20Bold"},
        {"Arial-Bold_1.2", "Arial-Bold_1.2"},
        {"A#B", "A#23B"},
        {"()<>[]{}/%", "#28#29#3C#3E#5B#5D#7B#7D#2F#25"},
        {"tab\there", "tab#09here"},
        {"\r\n", "#0D#0A"},
        {"~!\"'*+", "~!\"'*+"},
        {"\x7F\x80\xE9\xFF", "#7F#80#E9#FF"},
        {std::string("a\0b", 3), "ab"},
        {"", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(pdfNameEscape(row.name), row.escaped) << "name «" << row.name << "»";
    }
}

TEST_F(FontTableTest, MissingOrEmptyMetricsFilePathLeavesTheBuiltinTable) {
    EXPECT_FALSE(buildFontTable(""));
    EXPECT_FALSE(buildFontTable("/nonexistent/qm-fonts.txt"));
    EXPECT_EQ(getTextWidth("Arial", "Page 1 / 12"), 5115);
}

TEST_F(FontTableTest, MetricsFileAddsFontsUnderNewKeysOnly) {
    TempFile file("QUILLMARK FONT FILE\n" +
                  metricsLine("House Sans", "-10|-20|900|800", {100, 200, 300}) +
                  metricsLine("Other-Face", "1|2|3|4", {7, 8, 9}) +
                  metricsLine("Arial", "0|0|0|0", {1, 1, 1}));
    EXPECT_TRUE(buildFontTable(file.path()));

    const FontMetrics* house = findFont("HouseSans");
    ASSERT_NE(house, nullptr);
    EXPECT_EQ(house->name, "House Sans");
    EXPECT_EQ(std::vector<int32_t>(house->bbox, house->bbox + 4),
              (std::vector<int32_t>{-10, -20, 900, 800}));
    EXPECT_EQ(std::vector<int32_t>(house->widths, house->widths + 4),
              (std::vector<int32_t>{100, 200, 300, 0}));

    // Two fonts of one file keep their own widths.
    EXPECT_EQ(getTextWidth("House-Sans", "\x01\x02"), 500);
    EXPECT_EQ(getTextWidth("Other Face", "\x01\x02"), 17);

    // A repeated built-in name is never selected.
    EXPECT_EQ(getTextWidth("Arial", "Page 1 / 12"), 5115);
    EXPECT_EQ(findFont("Arial")->bbox[0], -46);

    // The next rebuild starts from the built-in entries again.
    buildFontTable("");
    EXPECT_EQ(findFont("HouseSans"), nullptr);
}

TEST_F(FontTableTest, MetricsFileLinesOfTwentyBytesOrLessAreSkipped) {
    // Each line is padded to the length in its name, line feed included.
    auto lineOfLength = [](const std::string& name, size_t length) {
        std::string line = "F|" + name + "|1|2|3|4|";
        line.append(length - 1 - line.size(), '5');
        return line + "\n";
    };
    TempFile file(lineOfLength("Twenty", 20) + lineOfLength("Twentyone", 21) + "F|Short|1|2\n");
    buildFontTable(file.path());
    EXPECT_EQ(findFont("Twenty"), nullptr);
    EXPECT_NE(findFont("Twentyone"), nullptr);
    EXPECT_EQ(findFont("Short"), nullptr);
}

TEST_F(FontTableTest, MetricsFileShortAndOddLinesLoadWhatTheyHave) {
    TempFile file(
        // Twelve fields: a font whose widths are all 0.
        "FONT|TwelveFields|-5|-6|700|800|0|0|0|0|0|0\n"
        // Fewer than six fields: the missing box numbers are 0.
        "FONT|FewFieldsFont|11|22\n"
        // No second field: no font.
        "JustOneFieldButLongEnough\n"
        "|||||||||||||||||||||||||||\n"
        // Runs of separators count as one; numbers stop at the first non-digit.
        "||FONT|||Runs|||1| 2|x3|4z|0|0|0|0|0|0|| 250|-5|12ab|abc\n"
        // A carriage return stays in the last field.
        "FONT|CrLine|1|2|3|4|0|0|0|0|0|0|300|400\r\n"
        "FONT|NameBeforeCarriageReturn\r\n");
    buildFontTable(file.path());

    const FontMetrics* twelve = findFont("TwelveFields");
    ASSERT_NE(twelve, nullptr);
    EXPECT_EQ(twelve->bbox[0], -5);
    EXPECT_EQ(twelve->bbox[3], 800);
    EXPECT_EQ(getTextWidth("TwelveFields", "Page 1 / 12"), 0) << "widths of a 12-field line";

    const FontMetrics* few = findFont("FewFieldsFont");
    ASSERT_NE(few, nullptr);
    EXPECT_EQ(std::vector<int32_t>(few->bbox, few->bbox + 4), (std::vector<int32_t>{11, 22, 0, 0}));

    EXPECT_EQ(findFont("JustOneFieldButLongEnough"), nullptr);

    const FontMetrics* runs = findFont("Runs");
    ASSERT_NE(runs, nullptr);
    EXPECT_EQ(std::vector<int32_t>(runs->bbox, runs->bbox + 4), (std::vector<int32_t>{1, 2, 0, 4}));
    EXPECT_EQ(std::vector<int32_t>(runs->widths, runs->widths + 5),
              (std::vector<int32_t>{250, -5, 12, 0, 0}));

    const FontMetrics* cr = findFont("CrLine");
    ASSERT_NE(cr, nullptr);
    EXPECT_EQ(cr->widths[0], 300);
    EXPECT_EQ(cr->widths[1], 400);

    const FontMetrics* nameCr = findFont("NameBeforeCarriageReturn");
    ASSERT_NE(nameCr, nullptr);
    EXPECT_EQ(nameCr->name, "NameBeforeCarriageReturn\r");
}

TEST_F(FontTableTest, MetricsFileSurplusWidthsAndLongLinesAreSafe) {
    // 300 width fields: codes 0 to 255 take the first 256, the rest is ignored.
    std::vector<int> many;
    for (int i = 0; i < 300; ++i) {
        many.push_back(i + 1);
    }
    // A line of more than 4095 bytes is read in pieces: the piece after the first 4095 bytes
    // is a line of its own, here a font named "Tail".
    std::string longLine = "FONT|LongLine|0|0|0|0|0|0|0|0|0|0|";
    while (longLine.size() < 4095 - 1) {
        longLine += "7|";
    }
    if (longLine.size() < 4095) {
        longLine += "|";
    }
    ASSERT_EQ(longLine.size(), 4095u);
    longLine += "X|Tail|0|0|0|0|0|0|0|0|0|0|650\n";

    TempFile file(metricsLine("ManyWidths", "0|0|0|0", many) + longLine);
    buildFontTable(file.path());

    const FontMetrics* manyFont = findFont("ManyWidths");
    ASSERT_NE(manyFont, nullptr);
    EXPECT_EQ(manyFont->widths[0], 1);
    EXPECT_EQ(manyFont->widths[255], 256);

    const FontMetrics* longFont = findFont("LongLine");
    ASSERT_NE(longFont, nullptr);
    EXPECT_EQ(longFont->widths[0], 7);
    EXPECT_EQ(longFont->widths[255], 7);

    const FontMetrics* tail = findFont("Tail");
    ASSERT_NE(tail, nullptr) << "the rest of a long line is read as a line of its own";
    EXPECT_EQ(tail->widths[0], 650);
}

TEST_F(FontTableTest, MetricsFileAddsAtMost4096Fonts) {
    std::string contents;
    auto letters = [](int n) {
        std::string name = "Font";
        for (int i = 0; i < 4; ++i) {
            name += static_cast<char>('a' + n % 26);
            n /= 26;
        }
        return name;
    };
    for (int i = 0; i < 4097; ++i) {
        contents += metricsLine(letters(i), "0|0|0|0", {i});
    }
    TempFile file(contents);
    buildFontTable(file.path());
    const FontMetrics* last = findFont(letters(4095));
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->widths[0], 4095);
    EXPECT_EQ(findFont(letters(4096)), nullptr);
}

} // namespace
