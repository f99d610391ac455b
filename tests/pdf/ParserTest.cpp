// Lexer and object parser: tokens, strings, names, numbers, containers, stream bodies.

#include "ReaderTestUtil.h"

#include "pdf/Limits.h"

#include <cstdio>

using namespace reader_test;

namespace {

std::string textOf(const std::string& input) {
    CPdfElement e = parseOne(input);
    EXPECT_TRUE(e.is(ElementKind::String) || e.is(ElementKind::Name)) << input;
    return e.getText();
}

// One parsed object as a short text: "int 12", "ref 12 0", "kw obj", "[int 1 name N]" …
std::string describe(const CPdfElement& e) {
    switch (e.kind()) {
    case ElementKind::Boolean:
        return e.getBoolean() ? "true" : "false";
    case ElementKind::Integer:
        return "int " + std::to_string(e.getInteger());
    case ElementKind::Real: {
        char text[32];
        std::snprintf(text, sizeof text, "real %g", e.getReal());
        return text;
    }
    case ElementKind::String:
        return "(" + e.getText() + ")";
    case ElementKind::Name:
        return "name " + e.getText();
    case ElementKind::Null:
        return "null";
    case ElementKind::Reference:
        return "ref " + std::to_string(e.getRefNumber()) + " " +
               std::to_string(e.getRefGeneration());
    case ElementKind::Keyword:
        return "kw " + e.getText();
    case ElementKind::Error:
        return "error";
    case ElementKind::Array: {
        std::string items;
        // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) on a literal + a string.
        for (size_t i = 0; i < e.getArray()->getCount(); ++i) {
            if (i > 0) {
                items += ' ';
            }
            items += describe(e.getArray()->getItem(i));
        }
        return "[" + items + "]";
    }
    default:
        return "kind " + std::to_string(static_cast<int>(e.kind()));
    }
}

// Every object of a text up to the end of input, described and separated by " | ".
std::string describeAll(const std::string& text) {
    std::string out;
    for (const CPdfElement& e : parseAll(text)) {
        out += (out.empty() ? "" : " | ") + describe(e);
    }
    return out;
}

} // namespace

TEST(Parser, TokensAndSimpleObjects) {
    struct Case {
        std::string input;
        std::string objects;
    } cases[] = {
        {"12 0 R", "ref 12 0"}, // a reference is told from two integers
        {"12 0 obj", "int 12 | int 0 | kw obj"},
        {"12 R", "int 12 | kw R"},
        {"/A#42C", "name ABC"},
        {"/A#zz", "name A#zz"},
        {"/A#4 x", "name A@x"}, // second digit not hex: 0, and consumed all the same
        {"/ x", "name  | kw x"},
        {"/Name/Next", "name Name | name Next"},
        {"-.5", "real -0.5"},
        {"007", "int 7"},
        {"99999999999", "int 2147483647"},
        {"-99999999999", "int -2147483648"},
        {"1.2.3", "real 1.2"},
        {"-", "int 0"},
        {".", "real 0"},
        {"--5", "int 0 | int -5"},
        {"+12", "kw +12"},
        {"true false null RG ) { } > [ ]", "true | false | null | kw RG | error | error | error | "
                                           "error | []"},
        {"a\vb", "kw a\vb"},                // vertical tab is a regular byte
        {"1% comment\n2", "int 1 | int 2"}, // a comment ends a token
        {"% only\r/A", "name A"},
        {"[1 >> (x) ) /N]", "[int 1 kw >> (x) error name N]"}, // arrays hold stray tokens
    };
    for (const Case& c : cases) {
        EXPECT_EQ(describeAll(c.input), c.objects) << c.input;
    }
    EXPECT_EQ(parseOne("99999999999").getInteger64(), 99999999999LL);
}

TEST(Parser, LiteralStrings) {
    struct Case {
        std::string input;
        std::string text;
    } cases[] = {
        {"(a(b)c)", "a(b)c"},
        {"(a\\)b)", "a)b"},
        {"(\\101\\60x)", "A0x"},
        {"(ab", "ab"}, // open at end of input
        {"(\\n\\r\\t\\b\\f)", "\n\r\t\b\f"},
        {"(a\\\nb)", "ab"}, // line continuation
        {"(a\\\r\nb)", "ab"},
        {"(a\\\rb)", "ab"},
        {"(\\q\\\\)", "q\\"}, // unknown escape gives the letter
        {"(\\0613)", "13"},   // three octal digits at most
        {"(\\777)", "\xFF"},  // low 8 bits
        {"(\\18)", "\x01"
                   "8"}, // a non-octal digit ends the escape
        {"(line\r\nend)", "line\r\nend"},
        {"(ab\\", "ab"}, // end of input right after the backslash
    };
    for (const auto& c : cases) {
        EXPECT_EQ(textOf(c.input), c.text) << c.input;
    }
}

TEST(Parser, StringsKeepZeroBytes) {
    EXPECT_EQ(textOf("(a\\000b)"), std::string("a\0b", 3));
    EXPECT_EQ(textOf("<410042>"), std::string("A\0B", 3));
    EXPECT_EQ(textOf("/A#00B"), std::string("A\0B", 3));
}

TEST(Parser, HexStrings) {
    EXPECT_EQ(textOf("<48 65 6C6C 6F>"), "Hello");
    EXPECT_EQ(textOf("<414>"), "A@");
    EXPECT_EQ(textOf("<>"), "");
    EXPECT_EQ(textOf("<4g>"), "@");   // a non-hex byte counts as 0
    EXPECT_EQ(textOf("<41"), "A");    // end of input
    EXPECT_EQ(textOf("<6\n1>"), "a"); // white-space between the digits of a pair
}

TEST(Parser, DictionaryKeyFollowedByErrorIsDropped) {
    CPdfElement d = parseOne("<< /A ) /B 2 >>");
    ASSERT_TRUE(d.is(ElementKind::Dictionary));
    EXPECT_EQ(d.getDictionary()->find("A"), nullptr);
    EXPECT_EQ(intEntry(d, "B"), 2);
}

TEST(Parser, DictionaryTokensThatAreNotKeysAreSkipped) {
    CPdfElement d = parseOne("<< 1 (s) /A 3 >>");
    ASSERT_TRUE(d.is(ElementKind::Dictionary));
    EXPECT_EQ(d.getDictionary()->getCount(), 1u);
    EXPECT_EQ(intEntry(d, "A"), 3);
}

TEST(Parser, EndOfInputInsideContainersGivesError) {
    // A container cut off by the end of the input is unusable: an Error, and parsing ends.
    for (const char* input : {"[1 2", "<< /A 1", "<< /A", "[[[", "<< /A [1 <<", "[ (open"}) {
        TextParser parser(input);
        CPdfElement e = parser.next();
        EXPECT_TRUE(e.is(ElementKind::Error)) << input;
        EXPECT_TRUE(parser.next().is(ElementKind::EndOfInput)) << input;
    }
}

TEST(Parser, EndOfInputStaysEndOfInput) {
    TextParser parser("1");
    EXPECT_EQ(parser.next().getInteger(), 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(parser.next().is(ElementKind::EndOfInput));
    }
}

TEST(Parser, NestingDeeperThanTheLimitThrows) {
    const int limit = limits::kMaxNestingDepth;
    std::string ok = std::string(limit, '[') + std::string(limit, ']');
    EXPECT_TRUE(parseOne(ok).is(ElementKind::Array));
    std::string deep = std::string(limit + 2, '[') + std::string(limit + 2, ']');
    EXPECT_EQ(errorOf([&] { parseOne(deep); }), "PDF file was damaged");
    std::string dicts;
    for (int i = 0; i < 100000; ++i) {
        dicts += "<</A ";
    }
    EXPECT_EQ(errorOf([&] { parseOne(dicts); }), "PDF file was damaged");
}

TEST(ParserStream, LengthMustLeadToEndstream) {
    auto parseStream = [](const std::string& text) {
        return errorOf([&] {
            TextParser parser(text);
            CPdfElement e = parser.next();
            EXPECT_TRUE(e.is(ElementKind::Stream)) << text;
            if (e.is(ElementKind::Stream)) {
                EXPECT_EQ(readAll(e.getStream()).substr(0, 5), "Hello") << text;
            }
            EXPECT_EQ(parser.next().getInteger(), 7) << text;
        });
    };
    EXPECT_EQ(parseStream("<< /Length 5 >>\nstream\nHello\nendstream 7"), "");
    EXPECT_EQ(parseStream("<< /Length 6 >>\nstream\nHello\nendstream 7"), ""); // the line end
    EXPECT_EQ(parseStream("<< /Length 5 >>\nstream\r\nHello\r\n  endstream 7"), "");
    EXPECT_EQ(parseStream("<< /Length 5 >>stream junk\nHello endstream 7"), "");
    EXPECT_EQ(parseStream("<< /Length 4 >>\nstream\nHello\nendstream 7"), "Missing 'endstream'");
    EXPECT_EQ(parseStream("<< /Length 9 >>\nstream\nHello\nendstream 7"), "Missing 'endstream'");
    EXPECT_EQ(parseStream("<< /Length 99999 >>\nstream\nHello\nendstream 7"),
              "Missing 'endstream'");
}

TEST(ParserStream, ExactDataAndPosition) {
    TextParser parser("<< /Length 5 >>\nstream\nHello\nendstream\nendobj");
    CPdfElement e = parser.next();
    ASSERT_TRUE(e.is(ElementKind::Stream));
    CPdfStream* s = e.getStream();
    EXPECT_EQ(s->getStart(), 23u);
    EXPECT_EQ(s->getLength(), 5u);
    EXPECT_EQ(readAll(s), "Hello");
    EXPECT_EQ(s->getChar(), -1);
    EXPECT_TRUE(s->getDict().is(ElementKind::Dictionary));
    EXPECT_TRUE(parser.next().isKeyword("endobj"));
}

TEST(ParserStream, LengthZeroIsAnEmptyStream) {
    // A window of length 0 would mean "no limit": the data of an empty stream must be empty.
    TextParser parser("<< /Length 0 >>\nstream\n\nendstream 1 2 3");
    CPdfElement e = parser.next();
    ASSERT_TRUE(e.is(ElementKind::Stream));
    EXPECT_EQ(e.getStream()->getChar(), -1);
    EXPECT_EQ(e.getStream()->peekChar(), -1);
    EXPECT_EQ(parser.next().getInteger(), 1);
}

TEST(ParserStream, UnusableLengthGivesError) {
    for (const char* text :
         {"<< >>\nstream\nab\nendstream", "<< /Length (5) >>\nstream\nab\nendstream",
          "<< /Length 3 0 R >>\nstream\nab\nendstream",
          "<< /Length -2 >>\nstream\nab\nendstream"}) {
        EXPECT_TRUE(parseOne(text).is(ElementKind::Error)) << text;
    }
}

TEST(ParserStream, UnsupportedFiltersGiveError) {
    for (const char* filter : {"/LZWDecode", "[/FlateDecode /FlateDecode]", "[]", "(Fl)"}) {
        std::string text =
            std::string("<< /Length 2 /Filter ") + filter + " >>\nstream\nab\nendstream 9";
        TextParser parser(text);
        EXPECT_TRUE(parser.next().is(ElementKind::Error)) << filter;
        EXPECT_EQ(parser.next().getInteger(), 9) << filter; // the data was skipped all the same
    }
}

TEST(ParserStream, FlateFiltersDecode) {
    std::string packed = qm_test::PdfBuilder::deflate("decoded text");
    for (const char* filter : {"/FlateDecode", "/Fl", "[/FlateDecode]"}) {
        std::string text = std::string("<< /Filter ") + filter + " /Length " +
                           std::to_string(packed.size()) + " >>\nstream\n" + packed + "\nendstream";
        CPdfElement e = parseOne(text);
        ASSERT_TRUE(e.is(ElementKind::Stream)) << filter;
        EXPECT_EQ(readAll(e.getStream()), "decoded text") << filter;
    }
}

TEST(ParserStream, FilterAbbreviationsFAndDP) {
    std::string rows = std::string("\x02\x01\x02", 3) + std::string("\x02\x01\x01", 3);
    std::string packed = qm_test::PdfBuilder::deflate(rows);
    std::string text = "<< /F /Fl /DP << /Predictor 12 /Columns 2 >> /Length " +
                       std::to_string(packed.size()) + " >>\nstream\n" + packed + "\nendstream";
    CPdfElement e = parseOne(text);
    ASSERT_TRUE(e.is(ElementKind::Stream));
    EXPECT_EQ(readAll(e.getStream()), std::string("\x01\x02\x02\x03", 4));
}
