#include "stamp/text/TextEncoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct EncodingCase {
    const char* name;
    std::string input;
    std::string expected;
};

TEST(TextEncodingTest, MapsUtf8ToCodePage1252) {
    const EncodingCase cases[] = {
        {"ascii unchanged", "Page 1 / 12", "Page 1 / 12"},
        {"empty", "", ""},
        {"latin-1 letters",
         "Gr\xC3\xB6\xC3\x9F"
         "e",
         "Gr\xF6\xDF"
         "e"},
        {"no-break space and y diaeresis", "\xC2\xA0\xC3\xBF", "\xA0\xFF"},
        {"euro sign", "\xE2\x82\xAC 5", "\x80 5"},
        {"em dash",
         "a\xE2\x80\x94"
         "b",
         "a\x97"
         "b"},
        {"curly quotes", "\xE2\x80\x9Cq\xE2\x80\x9D", "\x93q\x94"},
        {"trade mark", "\xE2\x84\xA2", "\x99"},
        {"capital y diaeresis", "\xC5\xB8", "\x9F"},
        {"s caron and z caron", "\xC5\xA1\xC5\xBE", "\x9A\x9E"},
        {"C1 control has no character", "\xC2\x81", "?"},
        {"CJK has no character",
         "\xE6\x97\xA5"
         "x",
         "?x"},
        {"four-byte emoji",
         "a\xF0\x9F\x98\x80"
         "b",
         "a?b"},
    };
    for (const EncodingCase& c : cases) {
        EXPECT_TRUE(text_encoding::isValidUtf8(c.input)) << c.name;
        EXPECT_EQ(text_encoding::toWinAnsi(c.input), c.expected) << c.name;
    }
}

// Bytes that are not UTF-8 are taken as code page 1252 already: the whole text passes through.
TEST(TextEncodingTest, InvalidUtf8PassesThroughUnchanged) {
    const EncodingCase cases[] = {
        {"lone latin-1 byte", "caf\xE9", "caf\xE9"},
        {"valid and invalid mixed", "\xC3\xB6 \xE9", "\xC3\xB6 \xE9"},
        {"overlong slash", "\xC0\xAF", "\xC0\xAF"},
        {"overlong three bytes", "\xE0\x80\xAF", "\xE0\x80\xAF"},
        {"surrogate", "\xED\xA0\x80", "\xED\xA0\x80"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "\xF4\x90\x80\x80"},
        {"truncated at end", "ab\xE2\x82", "ab\xE2\x82"},
        {"continuation without lead", "\x80x", "\x80x"},
        {"lead followed by ascii",
         "\xC3"
         "A",
         "\xC3"
         "A"},
        {"byte FF", "\xFF", "\xFF"},
    };
    for (const EncodingCase& c : cases) {
        EXPECT_FALSE(text_encoding::isValidUtf8(c.input)) << c.name;
        EXPECT_EQ(text_encoding::toWinAnsi(c.input), c.expected) << c.name;
    }
}

} // namespace
