#include "stamp/text/ComposeText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ComposeCase {
    const char* name = "";
    int32_t number = 0;
    uint32_t pageCount = 0;
    std::string expected = std::string();
    std::string prefix = "Page ";
    std::string separator = " / ";
    std::string end = std::string();
    int32_t mask = 0;
    bool numberOnly = false;
    bool noPageNumbers = false;
    bool lowerRoman = false;
    bool upperRoman = false;
};

// The text as the page draws it: composed, then as the operand of Tj.
std::string compose(const ComposeCase& c) {
    StampDefinition stamp;
    stamp.prefixText = c.prefix;
    stamp.separatorText = c.separator;
    stamp.endText = c.end;
    stamp.maskWidth = c.mask;
    stamp.numberOnly = c.numberOnly;
    stamp.noPageNumbers = c.noPageNumbers;
    stamp.lowerRoman = c.lowerRoman;
    stamp.upperRoman = c.upperRoman;
    std::string literal;
    toLiteralText(composeText(stamp, c.number, c.pageCount).text, literal);
    return literal;
}

void expectAll(const std::vector<ComposeCase>& cases) {
    for (const ComposeCase& c : cases) {
        EXPECT_EQ(compose(c), c.expected) << c.name;
    }
}

TEST(ComposeTextTest, NumberingAndFlags) {
    std::vector<ComposeCase> cases;
    auto add = [&](ComposeCase c) { cases.push_back(std::move(c)); };
    add({.name = "defaults, page 1 of 1", .number = 1, .pageCount = 1, .expected = "Page 1 / 1"});
    add({.name = "defaults, page 3 of 12",
         .number = 3,
         .pageCount = 12,
         .expected = "Page 3 / 12"});
    add({.name = "upper roman",
         .number = 3,
         .pageCount = 12,
         .expected = "Page III / XII",
         .upperRoman = true});
    add({.name = "lower roman",
         .number = 3,
         .pageCount = 12,
         .expected = "Page iii / xii",
         .lowerRoman = true});
    add({.name = "both romans: upper wins",
         .number = 3,
         .pageCount = 12,
         .expected = "Page III / XII",
         .lowerRoman = true,
         .upperRoman = true});
    add({.name = "number only keeps the separator",
         .number = 3,
         .pageCount = 12,
         .expected = "Page 3 / ",
         .numberOnly = true});
    add({.name = "number only and upper roman, empty separator",
         .number = 4,
         .pageCount = 9,
         .expected = "p. IV",
         .prefix = "p. ",
         .separator = "",
         .numberOnly = true,
         .upperRoman = true});
    add({.name = "no page numbers: prefix only",
         .number = 7,
         .pageCount = 9,
         .expected = "Hello",
         .prefix = "Hello",
         .separator = "",
         .mask = 4,
         .numberOnly = true,
         .noPageNumbers = true,
         .upperRoman = true});
    add({.name = "no page numbers, all empty",
         .number = 7,
         .pageCount = 9,
         .expected = "",
         .prefix = "",
         .separator = "",
         .noPageNumbers = true});
    add({.name = "no page numbers keeps separator and end",
         .number = 7,
         .pageCount = 9,
         .expected = "a-b",
         .prefix = "a",
         .separator = "-",
         .end = "b",
         .noPageNumbers = true});
    add({.name = "end text after the count",
         .number = 1,
         .pageCount = 2,
         .expected = "Page 1 of 2 Pages.",
         .separator = " of ",
         .end = " Pages."});
    add({.name = "page 0 in decimal", .number = 0, .pageCount = 12, .expected = "Page 0 / 12"});
    add({.name = "page 0 in roman is empty",
         .number = 0,
         .pageCount = 12,
         .expected = "Page  / XII",
         .upperRoman = true});
    add({.name = "roman out of range is decimal",
         .number = 6001,
         .pageCount = 7000,
         .expected = "Page 6001 / 7000",
         .upperRoman = true});
    add({.name = "negative roman is decimal",
         .number = -3,
         .pageCount = 4,
         .expected = "Page -3 / iv",
         .lowerRoman = true});
    add({.name = "page count above int range in roman",
         .number = 1,
         .pageCount = 4000000000u,
         .expected = "Page I / 4000000000",
         .upperRoman = true});
    add({.name = "mask never applies to roman",
         .number = 2,
         .pageCount = 3,
         .expected = "Page II / III",
         .mask = 5,
         .upperRoman = true});
    expectAll(cases);
}

TEST(ComposeTextTest, ZeroMask) {
    std::vector<ComposeCase> cases;
    auto add = [&](ComposeCase c) { cases.push_back(std::move(c)); };
    add({.name = "mask 3, page 7 of 120",
         .number = 7,
         .pageCount = 120,
         .expected = "Page 007 / 120",
         .mask = 3});
    add({.name = "mask 2, page 5 of 120",
         .number = 5,
         .pageCount = 120,
         .expected = "Page 05 / 120",
         .mask = 2});
    add({.name = "mask 5 pads both numbers",
         .number = 1,
         .pageCount = 10,
         .expected = "Page 00001 / 00010",
         .mask = 5});
    add({.name = "mask 5, five digits",
         .number = 12345,
         .pageCount = 12345,
         .expected = "Page 12345 / 12345",
         .mask = 5});
    add({.name = "more digits than the mask",
         .number = 123456,
         .pageCount = 1,
         .expected = "Page 123456 / 001",
         .mask = 3});
    add({.name = "zero has no digits",
         .number = 0,
         .pageCount = 0,
         .expected = "Page 0000 / 0000",
         .mask = 3});
    add({.name = "mask 0 adds nothing",
         .number = 7,
         .pageCount = 8,
         .expected = "Page 7 / 8",
         .mask = 0});
    add({.name = "negative mask adds nothing",
         .number = 7,
         .pageCount = 8,
         .expected = "Page 7 / 8",
         .mask = -4});
    add({.name = "negative number: zeros before the sign",
         .number = -5,
         .pageCount = 8,
         .expected = "Page 00-5 / 008",
         .mask = 3});
    add({.name = "mask 9",
         .number = 42,
         .pageCount = 1,
         .expected = "Page 000000042 / 000000001",
         .mask = 9});
    add({.name = "mask 10",
         .number = 1,
         .pageCount = 4294967295u,
         .expected = "Page 0000000001 / 4294967295",
         .mask = 10});
    add({.name = "mask 12 on the largest count",
         .number = 2147483647,
         .pageCount = 4294967295u,
         .expected = "Page 002147483647 / 004294967295",
         .mask = 12});
    add({.name = "mask 12, smallest number",
         .number = -2147483647 - 1,
         .pageCount = 1,
         .expected = "Page 00-2147483648 / 000000000001",
         .mask = 12});
    add({.name = "mask capped at 64 digits",
         .number = 1,
         .pageCount = 1,
         .expected = "Page " + std::string(63, '0') + "1 / " + std::string(63, '0') + "1",
         .mask = 1000000});
    add({.name = "largest mask is capped too",
         .number = 5,
         .pageCount = 5,
         .expected = "Page " + std::string(63, '0') + "5 / " + std::string(63, '0') + "5",
         .mask = 2147483647});
    expectAll(cases);
}

TEST(ComposeTextTest, Escaping) {
    std::vector<ComposeCase> cases;
    auto add = [&](ComposeCase c) { cases.push_back(std::move(c)); };
    add({.name = "parentheses of the prefix",
         .number = 2,
         .pageCount = 3,
         .expected = "\\050a\\0512 / 3",
         .prefix = "(a)"});
    add({.name = "parentheses in separator and end",
         .number = 2,
         .pageCount = 3,
         .expected = "2\\050/\\0513\\051",
         .prefix = "",
         .separator = "(/)",
         .end = ")"});
    add({.name = "inner backslash passes through",
         .number = 1,
         .pageCount = 1,
         .expected = "c:\\in 1 / 1",
         .prefix = "c:\\in "});
    add({.name = "one trailing backslash is doubled",
         .number = 1,
         .pageCount = 1,
         .expected = "a\\\\",
         .prefix = "a\\",
         .separator = "",
         .noPageNumbers = true});
    add({.name = "two trailing backslashes stay",
         .number = 1,
         .pageCount = 1,
         .expected = "a\\\\",
         .prefix = "a\\\\",
         .separator = "",
         .noPageNumbers = true});
    add({.name = "three trailing backslashes become four",
         .number = 1,
         .pageCount = 1,
         .expected = "\\\\\\\\",
         .prefix = "\\\\\\",
         .separator = "",
         .noPageNumbers = true});
    add({.name = "backslash in end text after the count",
         .number = 1,
         .pageCount = 2,
         .expected = "Page 1 / 2\\\\",
         .end = "\\"});
    add({.name = "text stops at an embedded zero byte",
         .number = 1,
         .pageCount = 1,
         .expected = "ab",
         .prefix = std::string("ab\0cd", 5),
         .separator = "",
         .noPageNumbers = true});
    add({.name = "text stops at a zero byte before one beyond ASCII",
         .number = 1,
         .pageCount = 1,
         .expected = "a\\050b\\\\",
         .prefix = std::string("a(b\\\0\xC3\xBC)", 8),
         .separator = "",
         .noPageNumbers = true});
    expectAll(cases);
}

TEST(ComposeTextTest, Utf8BecomesCodePage1252) {
    std::vector<ComposeCase> cases;
    auto add = [&](ComposeCase c) { cases.push_back(std::move(c)); };
    add({.name = "umlauts",
         .number = 1,
         .pageCount = 2,
         .expected = "Gr\xF6\xDF"
                     "e 1 / 2",
         .prefix = "Gr\xC3\xB6\xC3\x9F"
                   "e "});
    add({.name = "euro in end text",
         .number = 1,
         .pageCount = 2,
         .expected = "Page 1 / 2 \x80",
         .end = " \xE2\x82\xAC"});
    add({.name = "missing character becomes ?",
         .number = 1,
         .pageCount = 2,
         .expected = "\xE6 ? 1 / 2",
         .prefix = "\xC3\xA6 \xE2\x86\x92 "});
    add({.name = "code page 1252 bytes stay",
         .number = 1,
         .pageCount = 2,
         .expected = "caf\xE9 1 / 2",
         .prefix = "caf\xE9 "});
    add({.name = "converted then escaped",
         .number = 1,
         .pageCount = 2,
         .expected = "\\050\xFC\\051 1 / 2",
         .prefix = "(\xC3\xBC) "});
    expectAll(cases);
}

TEST(ComposeTextTest, EachCallReplacesTheTextInTheBuffers) {
    StampDefinition stamp;
    ComposedText text;
    composeText(stamp, 4, 5, text);
    ASSERT_EQ(text.text, "Page 4 / 5");
    EXPECT_TRUE(text.pieces.empty()) << "pieces only for an embedded font";
    stamp.embedFontFile = "font.ttf";
    composeText(stamp, 5, 5, text);
    EXPECT_EQ(text.text, "Page 5 / 5");
    EXPECT_EQ(text.pieces, (std::vector<size_t>{5, 6, 9, 10, 10}));
}

} // namespace
