#include "pdf/PdfSyntax.h"
#include "pdf/CPdfEditLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using pdf_syntax::npos;

// Two entries found by different scans: both absent, or at the same places.
bool same(const std::optional<pdf_syntax::DictEntry>& a,
          const std::optional<pdf_syntax::DictEntry>& b) {
    return a.has_value() == b.has_value() &&
           (!a || (a->keyStart == b->keyStart && a->valueStart == b->valueStart &&
                   a->valueEnd == b->valueEnd));
}

std::string entryValue(std::string_view text, std::string_view key) {
    size_t dict = pdf_syntax::findBodyDictionary(text);
    auto entry = pdf_syntax::findEntry(text, dict, key);
    if (!entry) {
        return "<absent>";
    }
    return std::string(text.substr(entry->valueStart, entry->valueEnd - entry->valueStart));
}

TEST(PdfSyntaxTest, FindsOnlyTopLevelKeysOfTheObjectDictionary) {
    struct Case {
        const char* text;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"3 0 obj\n<< /Type /Page /Contents 12 0 R >>\nendobj", "Contents", "12 0 R"},
        {"3 0 obj<</Contents[4 0 R 5 0 R]>>endobj", "Contents", "[4 0 R 5 0 R]"},
        // An annotation's /Contents inside a nested dictionary or array is not the page's.
        {"3 0 obj << /Annots [<< /Contents (note) >>] /Contents 9 0 R >> endobj", "Contents",
         "9 0 R"},
        {"3 0 obj << /A << /Contents 1 0 R >> >> endobj", "Contents", "<absent>"},
        // Keys inside strings and comments do not count.
        {"3 0 obj << /T (/Contents 7 0 R) % /Contents 8 0 R\n /Contents 9 0 R >> endobj",
         "Contents", "9 0 R"},
        {"3 0 obj << /T <2F436F6E74656E7473> /Contents 2 0 R >> endobj", "Contents", "2 0 R"},
        // A name value is not a key: "/Type /Contents" has the key Type only.
        {"3 0 obj << /Type /Contents /X 1 >> endobj", "Contents", "<absent>"},
        {"3 0 obj << /ContentsX 1 /Contents 2 >> endobj", "Contents", "2"},
        {"3 0 obj << /S (a\\)b) /K 5 >> endobj", "K", "5"},
        {"3 0 obj << /S (a(b)c) /K 6 >> endobj", "K", "6"},
        {"3 0 obj << /Resources << /Font << /F1 5 0 R >> >> >> endobj", "Resources",
         "<< /Font << /F1 5 0 R >> >>"},
        // Malformed text: an unterminated dictionary gives up rather than reading past the end.
        {"3 0 obj << /A (open", "A", "<absent>"},
        {"3 0 obj << /A 1 /B", "B", "<absent>"},
        {"3 0 obj [1 2]", "A", "<absent>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(entryValue(c.text, c.key), c.value) << c.text;
    }
}

TEST(PdfSyntaxTest, ReadsObjectHeadersAndBodies) {
    auto header = pdf_syntax::readObjectHeader("  12 3 obj\r<<>>");
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->number, 12);
    EXPECT_EQ(header->generation, 3);
    EXPECT_FALSE(pdf_syntax::readObjectHeader("12 obj <<>>").has_value());
    EXPECT_FALSE(pdf_syntax::readObjectHeader("12 0 objx").has_value());
    EXPECT_FALSE(pdf_syntax::readObjectHeader("").has_value());
    EXPECT_EQ(pdf_syntax::findBody("5 0 obj\n[1]"), 8u);
    EXPECT_EQ(pdf_syntax::findBodyDictionary("5 0 obj\n[1]"), npos);
    EXPECT_EQ(pdf_syntax::findBodyDictionary("5 0 obj % c\n<<>>"), 12u);
}

TEST(PdfSyntaxTest, SkipsWholeObjectsAndReferences) {
    struct Case {
        const char* text;
        size_t end;
    };
    const Case cases[] = {
        {"12 0 R /X", 6},
        {"12 0 obj", 2},
        {"12 R", 2},
        {"[1 [2] 3] x", 9},
        {"<< /A [1] >>x", 12},
        {"(a\\)b)c", 6},
        {"<414>x", 5},
        {"/Name/X", 5},
        {"true false", 4},
        {"[1 2", npos},
        {")", npos},
        {"", npos},
        // References in the forms writers use and in the others PDF allows; integers that
        // only look like the start of one.
        {"12 0 R", 6},
        {"12 0 R]", 6},
        {"-3 0 R", 6},
        {"12 0 Rx", 2},
        {"12  0 R", 7},
        {"12\n0\nR", 6},
        {"12 0 %c\nR", 9},
        {"12 +0 R", 7},
        {"12 0x R", 2},
        {"12 0", 2},
        {"12 0 ", 2},
        {"1 2 3", 1},
        {"12 0]", 2},
        {"12/X", 2},
        {"1.5 0 R", 3},
        {"12 0 S", 2},
        {"[1 0 R 2 0 S]", 13},
        {"<</A 1 0 R/B 2>>", 16},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pdf_syntax::skipObject(c.text, 0), c.end) << c.text;
    }
    // Deep nesting ends the scan instead of the stack.
    std::string deep(100000, '[');
    EXPECT_EQ(pdf_syntax::skipObject(deep, 0), npos);
    // Values inside up to 256 containers are read; one inside 257 is too deep. Dictionaries
    // and arrays count alike.
    auto nested = [](int levels, const std::string& inner) {
        std::string text;
        for (int i = 0; i < levels; ++i) {
            text += i % 2 == 0 ? "[" : "<</K ";
        }
        text += inner;
        for (int i = levels - 1; i >= 0; --i) {
            text += i % 2 == 0 ? "]" : ">>";
        }
        return text;
    };
    for (const auto& [levels, inner, readable] :
         {std::tuple{256, "1", true}, std::tuple{257, "1", false}, std::tuple{256, "[]", true},
          std::tuple{257, "[]", false}, std::tuple{255, "2 0 R", true}}) {
        const std::string text = nested(levels, inner);
        EXPECT_EQ(pdf_syntax::skipObject(text, 0), readable ? text.size() : npos)
            << levels << " levels around " << inner;
    }
}

TEST(PdfSyntaxTest, ClassifiesValues) {
    const std::string text = "1 0 obj << /D << >> /A [ ] /R 4 0 R /N /Name /I 7 >> endobj";
    const size_t dict = pdf_syntax::findBodyDictionary(text);
    struct Case {
        const char* key;
        pdf_syntax::ValueKind kind;
    };
    const Case cases[] = {{"D", pdf_syntax::ValueKind::Dictionary},
                          {"A", pdf_syntax::ValueKind::Array},
                          {"R", pdf_syntax::ValueKind::Reference},
                          {"N", pdf_syntax::ValueKind::Name},
                          {"I", pdf_syntax::ValueKind::Other}};
    for (const Case& c : cases) {
        auto entry = pdf_syntax::findEntry(text, dict, c.key);
        ASSERT_TRUE(entry.has_value()) << c.key;
        EXPECT_EQ(pdf_syntax::valueKind(text, *entry), c.kind) << c.key;
    }
    EXPECT_EQ(pdf_syntax::findDictionaryEnd(text, dict), text.find(">> endobj"));
}

TEST(PdfSyntaxTest, ReadsReferencesAndNothingElse) {
    struct Case {
        const char* value;
        bool reference;
        int64_t number;
        int64_t generation;
    };
    const Case cases[] = {
        {"0 0 R", true, 0, 0},     {"12 3 R", true, 12, 3}, {"1\n0\nR", true, 1, 0},
        {"7 0 %c\nR", true, 7, 0}, {"567", false, 0, 0},    {"0 0R", false, 0, 0},
        {"12 0", false, 0, 0},     {"-1 0 R", false, 0, 0}, {"1 -2 R", false, 0, 0},
        {"", false, 0, 0},         {"R", false, 0, 0},      {"1.0 0 R", false, 0, 0},
    };
    for (const Case& c : cases) {
        int64_t number = -7;
        int64_t generation = -7;
        ASSERT_EQ(pdf_syntax::readReference(c.value, number, generation), c.reference) << c.value;
        if (c.reference) {
            EXPECT_EQ(number, c.number) << c.value;
            EXPECT_EQ(generation, c.generation) << c.value;
        }
    }
}

// One scan for several keys finds each entry as a scan for that key alone does, also where the
// dictionary breaks off between them.
TEST(PdfSyntaxTest, FindsSeveralKeysInOneScanAsOneByOne) {
    const char* texts[] = {
        "3 0 obj << /Type /Page /Contents 4 0 R /Resources << /Font 5 0 R >> >> endobj",
        "3 0 obj << /Resources << /Contents 1 0 R >> /Contents [4 0 R] /Type /Page >> endobj",
        "3 0 obj << /Contents 4 0 R /Contents 9 0 R /Resources 2 0 R >> endobj",
        // Malformed after the first key: later keys are not found.
        "3 0 obj << /Contents 4 0 R /X ) /Resources 2 0 R >> endobj",
        "3 0 obj << /Type /Page >> endobj",
        // A key without a value ends the entries and the dictionary; a stray value is passed.
        "3 0 obj << /Contents 4 0 R /Resources >> endobj",
        "3 0 obj << 7 /Contents 4 0 R [1] /Type /Page >> endobj",
        "3 0 obj << /Contents 4 0 R",
    };
    // A value inside 256 containers is read on its own, but is one too deep inside the
    // dictionary: the entries after it are found, the dictionary has no end.
    const std::string deep = "3 0 obj << /Type " + std::string(256, '[') + "1" +
                             std::string(256, ']') + " /Contents 4 0 R >> endobj";
    const std::string fits = "3 0 obj << /Type " + std::string(255, '[') + "1" +
                             std::string(255, ']') + " /Contents 4 0 R >> endobj";
    std::vector<std::string_view> all(std::begin(texts), std::end(texts));
    all.push_back(deep);
    all.push_back(fits);
    constexpr std::string_view keys[] = {"Contents", "Resources", "Type", "Missing"};
    for (const std::string_view text : all) {
        SCOPED_TRACE(text.substr(0, 80));
        const size_t dict = pdf_syntax::findBodyDictionary(text);
        std::optional<pdf_syntax::DictEntry> found[4];
        pdf_syntax::findEntries(text, dict, keys, found);
        // The scan that also gives the end of the dictionary finds the same entries.
        std::optional<pdf_syntax::DictEntry> withEnd[4];
        EXPECT_EQ(pdf_syntax::findEntriesAndEnd(text, dict, keys, withEnd),
                  pdf_syntax::findDictionaryEnd(text, dict));
        for (size_t k = 0; k < 4; ++k) {
            const auto alone = pdf_syntax::findEntry(text, dict, keys[k]);
            ASSERT_EQ(found[k].has_value(), alone.has_value()) << keys[k];
            ASSERT_EQ(withEnd[k].has_value(), alone.has_value()) << keys[k];
            if (alone) {
                EXPECT_EQ(found[k]->keyStart, alone->keyStart) << keys[k];
                EXPECT_EQ(found[k]->valueEnd, alone->valueEnd) << keys[k];
                EXPECT_EQ(withEnd[k]->keyStart, alone->keyStart) << keys[k];
                EXPECT_EQ(withEnd[k]->valueEnd, alone->valueEnd) << keys[k];
            }
        }
    }
    EXPECT_EQ(pdf_syntax::findDictionaryEnd(deep, pdf_syntax::findBodyDictionary(deep)), npos);
    EXPECT_NE(pdf_syntax::findDictionaryEnd(fits, pdf_syntax::findBodyDictionary(fits)), npos);
    EXPECT_TRUE(pdf_syntax::findEntry(deep, pdf_syntax::findBodyDictionary(deep), "Contents"));
    std::optional<pdf_syntax::DictEntry> found[4];
    pdf_syntax::findEntries(texts[3], pdf_syntax::findBodyDictionary(texts[3]), keys, found);
    EXPECT_TRUE(found[0].has_value());
    EXPECT_FALSE(found[1].has_value());
}

// The page's entries and, from the same scan, those of its resource dictionary are what the
// scan of the page and then the scan of that dictionary find; where the one scan cannot give
// them it says so.
TEST(PdfSyntaxTest, FindsTheEntriesOfANestedDictionaryAsItsOwnScanDoes) {
    const std::string deepInside = "<< /Contents 4 0 R /Resources << /X " + std::string(255, '[') +
                                   "1" + std::string(255, ']') + " /Font 5 0 R >> >>";
    const std::string tooDeep = "<< /Contents 4 0 R /Resources << /X " + std::string(256, '[') +
                                "1" + std::string(256, ']') + " /Font 5 0 R >> >>";
    const struct {
        std::string text;
        bool together; // the resource entries come from the one scan
    } cases[] = {
        {"<< /Contents 4 0 R /Resources << /Font << /F0 5 0 R >> /ExtGState 6 0 R >> >>", true},
        {"<< /Resources << /ExtGState << >> /Font 7 0 R >> /Contents [4 0 R] >>", true},
        {"<< /Resources<</Font<</F1 2 0 R>>>>/Contents 4 0 R>>", true},
        {"<< /Contents 4 0 R /Resources << >> >>", true},
        // The last of two keys counts, in the page and in the resources.
        {"<< /Resources << /Font 1 0 R /Font 2 0 R >> /Resources << /Font 3 0 R >> "
         "/Contents 4 0 R >>",
         true},
        // A stray value and a string with brackets inside the resources.
        {"<< /Contents 4 0 R /Resources << 7 (>> /Font) /Font << /F0 5 0 R >> [/ExtGState] >> >>",
         true},
        // A stray closing byte is passed over.
        {"<< /Contents 4 0 R /Resources << /Font ) /ExtGState 6 0 R >> >>", true},
        {"<< /Contents 4 0 R } /Resources << /Font 5 0 R } >> >>", true},
        // A key without a value ends the resources.
        {"<< /Contents 4 0 R /Resources << /ExtGState 6 0 R /Font >> /Type /Page >>", true},
        // Resources that are no dictionary, absent, unclosed or malformed.
        {"<< /Contents 4 0 R /Resources 5 0 R >>", false},
        {"<< /Contents 4 0 R /Type /Page >>", false},
        {"<< /Contents 4 0 R /Resources << /Font 5 0 R ", false},
        {"<< /Contents 4 0 R /Resources >>", false},
        {"<< /Contents 4 0 R /Resources <5> >>", false},
        {deepInside, true},
        {tooDeep, false},
    };
    constexpr std::string_view keys[] = {"Contents", "Resources"};
    constexpr std::string_view nestedKeys[] = {"Font", "ExtGState"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 80));
        std::optional<pdf_syntax::DictEntry> found[2];
        std::optional<pdf_syntax::DictEntry> nested[2];
        const bool together =
            pdf_syntax::findEntriesAndNested(c.text, 0, keys, found, 1, nestedKeys, nested);
        EXPECT_EQ(together, c.together);
        std::optional<pdf_syntax::DictEntry> apart[2];
        pdf_syntax::findEntries(c.text, 0, keys, apart);
        EXPECT_TRUE(same(found[0], apart[0]));
        EXPECT_TRUE(same(found[1], apart[1]));
        if (together) {
            ASSERT_TRUE(found[1].has_value());
            std::optional<pdf_syntax::DictEntry> nestedApart[2];
            pdf_syntax::findEntries(c.text, found[1]->valueStart, nestedKeys, nestedApart);
            EXPECT_TRUE(same(nested[0], nestedApart[0]));
            EXPECT_TRUE(same(nested[1], nestedApart[1]));
        }
    }
}

// Page dictionaries with an odd token put in at every place: the one scan of the page and its
// resources (which reads plain dictionaries in one pass and the others token by token) finds
// the page's entries where the scan of the page alone finds them, reads the resources exactly
// where they are a dictionary that the page's scan steps over, and finds their entries where
// their own scan does.
TEST(PdfSyntaxTest, ReadsPagesWithOddTokensAnywhereAsTheEntryScansDo) {
    const std::string pages[] = {
        "<< /Type /Page /Parent 407 0 R /Contents 518 0 R /Resources << /Font << /F1 3 0 R >> "
        "/ProcSet [/PDF /Text] >> >>",
        "<</Type/Page/MediaBox[0 0 612 792]/Resources<</Font<</F1 5 0 R>>/ExtGState<</G0 6 0 "
        "R>>>>/Contents[7 0 R 8 0 R]>>",
    };
    const std::string_view odd[] = {
        "(",
        ")",
        "<",
        ">",
        "%",
        "{",
        "]",
        "[",
        "/",
        "R",
        " ",
        "\n",
        "0",
        "-",
        "+1",
        "<<",
        ">>",
        "(a>>)",
        "%c\n",
        "\f",
        "1 0 R",
        "0R",
        "/Contents",
        "5 ",
        "<0>",
        "/Font 9 0 R ",
        "/Resources 4 0 R ",
    };
    constexpr std::string_view keys[] = {"Contents", "Resources"};
    constexpr std::string_view nestedKeys[] = {"Font", "ExtGState"};
    size_t together = 0;
    for (const std::string& page : pages) {
        for (size_t at = 0; at <= page.size(); ++at) {
            for (const std::string_view token : odd) {
                std::string text = page;
                text.insert(at, token);
                SCOPED_TRACE(text);
                std::optional<pdf_syntax::DictEntry> found[2];
                std::optional<pdf_syntax::DictEntry> nested[2];
                const bool read =
                    pdf_syntax::findEntriesAndNested(text, 0, keys, found, 1, nestedKeys, nested);
                std::optional<pdf_syntax::DictEntry> apart[2];
                pdf_syntax::findEntries(text, 0, keys, apart);
                ASSERT_TRUE(same(found[0], apart[0]));
                ASSERT_TRUE(same(found[1], apart[1]));
                ASSERT_EQ(read, apart[1] && text.compare(apart[1]->valueStart, 2, "<<") == 0);
                if (read) {
                    ++together;
                    std::optional<pdf_syntax::DictEntry> nestedApart[2];
                    pdf_syntax::findEntries(text, apart[1]->valueStart, nestedKeys, nestedApart);
                    ASSERT_TRUE(same(nested[0], nestedApart[0]));
                    ASSERT_TRUE(same(nested[1], nestedApart[1]));
                }
            }
        }
    }
    // Most odd tokens leave the resources readable.
    EXPECT_GT(together, 2000u);
}

// An entry found before edits is moved by the bytes put in before it, kept by those after it,
// and given up where an edit falls inside it or the edits are unsure.
TEST(PdfSyntaxTest, CarriesAnEntryOverEditsOutsideIt) {
    const pdf_syntax::DictEntry entry{20, 30, 40};
    auto carried = [&](auto&& edit) {
        CPdfEditLog log;
        edit(log);
        pdf_syntax::DictEntry moved = entry;
        return log.carry(moved) ? std::optional<pdf_syntax::DictEntry>(moved) : std::nullopt;
    };
    auto before = carried([](CPdfEditLog& log) {
        log.record(5, 0, 7);  // insertion before the key
        log.record(20, 0, 3); // insertion right at the key, which it pushes along
        log.record(40, 0, 9); // insertion right after the value
        log.record(10, 4, 1); // four bytes replaced by one, before the key
    });
    ASSERT_TRUE(before.has_value());
    // 7 + 3 + 1 bytes in, 4 out: everything moves by 7.
    EXPECT_EQ(before->keyStart, 20u + 7);
    EXPECT_EQ(before->valueStart, 30u + 7);
    EXPECT_EQ(before->valueEnd, 40u + 7);
    EXPECT_FALSE(carried([](CPdfEditLog& log) { log.record(35, 0, 2); }));
    EXPECT_FALSE(carried([](CPdfEditLog& log) { log.record(15, 10, 2); }));
    EXPECT_FALSE(carried([](CPdfEditLog& log) { log.markUnsure(); }));
    EXPECT_FALSE(carried([](CPdfEditLog& log) {
        for (int i = 0; i < 5; ++i) {
            log.record(1, 0, 1); // more edits than the log keeps
        }
    }));
}

struct FindRow {
    const char* name;
    std::string_view buffer;
    std::string_view needle;
    size_t start;
    size_t expected;
};

TEST(PdfSyntaxTest, FindTextGivesTheLastByteOfTheFirstMatch) {
    const FindRow rows[] = {
        {"match inside", "abcdef", "cd", 0, 3},
        {"match at the end", "abcdef", "ef", 0, 5},
        {"two-byte match at the start", "abcdef", "ab", 0, 1},
        {"one-byte match at index 0 reads as absent", "abcdef", "a", 0, 0},
        {"first of two matches", "xabxab", "ab", 0, 2},
        {"absent", "abcdef", "xy", 0, 0},
        {"needle longer than the buffer", "ab", "abc", 0, 0},
        {"match cut by the end of the buffer", "abcde", "def", 0, 0},
        {"empty needle", "abc", "", 0, 0},
        {"empty buffer", "", "a", 0, 0},
        {"start skips the first match", "abcabc", "abc", 1, 5},
        {"start at a match", "abcabc", "abc", 3, 5},
        {"start past the end", "abcabc", "abc", 9, 0},
    };
    for (const FindRow& row : rows) {
        EXPECT_EQ(pdf_syntax::findText(row.buffer, row.needle, row.start), row.expected)
            << row.name;
    }
}

TEST(PdfSyntaxTest, FindLastTextGivesTheLastByteOfTheLastMatch) {
    const FindRow rows[] = {
        {"one match", "abcdef", "cd", 0, 3},
        {"last of three matches", "abxabyabz", "ab", 0, 7},
        {"overlapping matches", "aaaa", "aa", 0, 3},
        {"absent", "abcdef", "xy", 0, 0},
        {"one-byte match at index 0 reads as absent", "abc", "a", 0, 0},
    };
    for (const FindRow& row : rows) {
        EXPECT_EQ(pdf_syntax::findLastText(row.buffer, row.needle), row.expected) << row.name;
    }
}

// A key given twice keeps one entry, the last, wherever the others stand; other keys, nested
// dictionaries and strings that hold the key's name stay.
TEST(PdfSyntaxTest, DropsEveryEntryOfAKeyButTheLast) {
    struct Row {
        const char* name;
        std::string text;
        std::string expected;
        size_t dropped;
    };
    const Row rows[] = {
        {"once", "<< /Kids [1 0 R] /Count 1 >>", "<< /Kids [1 0 R] /Count 1 >>", 0},
        {"twice", "<< /Kids [1 0 R] /Count 1 /Kids [2 0 R] >>", "<<   /Count 1 /Kids [2 0 R] >>",
         1},
        {"three times, glued", "<</Kids[1 0 R]/Kids 4 0 R/T(/Kids)/Kids[2 0 R]>>",
         "<<  /T(/Kids)/Kids[2 0 R]>>", 2},
        {"nested ones stay", "<< /A << /Kids [3 0 R] >> /Kids [1 0 R] /Kids [2 0 R] >>",
         "<< /A << /Kids [3 0 R] >>   /Kids [2 0 R] >>", 1},
    };
    for (const Row& row : rows) {
        std::string text = row.text;
        EXPECT_EQ(pdf_syntax::dropEarlierEntries(text, 0, "Kids"), row.dropped) << row.name;
        EXPECT_EQ(text, row.expected) << row.name;
    }
}

struct NumberRow {
    const char* name;
    std::string_view buffer;
    int32_t value;
    bool isReference;
    bool found;
};

TEST(PdfSyntaxTest, ReadNumberAfterKey) {
    const NumberRow rows[] = {
        {"plain", "<< /Rotate 90 >>", 90, false, true},
        {"negative", "<< /Rotate -90 >>", -90, false, true},
        {"sign separated from the digits", "<< /Rotate - 90 >>", 90, false, true},
        {"digits found past other bytes", "<< /Rotate /X 270 >>", 270, false, true},
        {"reference", "<< /Rotate 12 0 R >>", 12, true, true},
        {"reference of another generation", "<< /Rotate 12 1 R >>", 12, false, true},
        {"reference cut by the end", "/Rotate 12 0 ", 12, false, true},
        {"digits at the very end", "/Rotate 180", 180, false, true},
        {"key at the very end", "<< /Rotate", 0, false, false},
        {"no digit after the key", "<< /Rotate /None >>", 0, false, false},
        {"key absent", "<< /Type /Page >>", 0, false, false},
        {"first occurrence of the key", "/Rotate 90 /Rotate 180", 90, false, true},
        {"overlong digits wrap in 32 bits", "/Rotate 4294967386", 90, false, true},
    };
    for (const NumberRow& row : rows) {
        const pdf_syntax::NumberAfter n = pdf_syntax::readNumberAfter(row.buffer, "/Rotate");
        EXPECT_EQ(n.value, row.value) << row.name;
        EXPECT_EQ(n.isReference, row.isReference) << row.name;
        EXPECT_EQ(n.found, row.found) << row.name;
    }
}

TEST(PdfSyntaxTest, AppendsDecimalDigitsBehindWhatIsThere) {
    const std::pair<int64_t, std::string_view> rows[] = {
        {0, "0"},
        {-1, "-1"},
        {65535, "65535"},
        {9999999999, "9999999999"},
        {std::numeric_limits<int64_t>::max(), "9223372036854775807"},
        {std::numeric_limits<int64_t>::min(), "-9223372036854775808"},
    };
    for (const auto& [value, digits] : rows) {
        std::string out = "12 0 R ";
        pdf_syntax::appendDecimal(out, value);
        EXPECT_EQ(out, "12 0 R " + std::string(digits)) << digits;
    }
}

TEST(PdfSyntaxTest, ScansStayInsideTheirBuffer) {
    // The view ends before the digits and the " 0 R" that follow in memory.
    const std::string text = "<< /Pages 3 0 R >>";
    const std::string_view cut(text.data(), 10);
    EXPECT_FALSE(pdf_syntax::readNumberAfter(cut, "/Pages").found);
    const std::string_view digitsOnly(text.data(), 11);
    const pdf_syntax::NumberAfter n = pdf_syntax::readNumberAfter(digitsOnly, "/Pages");
    EXPECT_EQ(n.value, 3);
    EXPECT_FALSE(n.isReference);
    EXPECT_EQ(pdf_syntax::findText(cut, "3 0 R"), 0u);
}

} // namespace

// Whether every dictionary and array a text opens is closed, at every place a bracket can take
// in the eight bytes read at a time. Each text sits alone in a buffer of its own size, so a read
// past its end shows under AddressSanitizer.
TEST(PdfSyntaxTest, NestingIsClosedWhereverTheBracketsFall) {
    const std::pair<std::string, bool> cases[] = {
        {"<< /A [1 2] /B << /C 3 >> >>", true},
        {"<< /A [1 2 >>", false}, // the array is still open: ">>" does not close it
        {"[ << ] >> ]", true},    // a "]" inside the dictionary is passed over
        {"<< /Y_Z [ ] >>", true}, // bytes that pass for brackets in the eight-byte test
        {"<", false},             // a "<" at the end
        {"<< >> >> ]", true},     // closing more than opened leaves nothing open
        {"", true},
    };
    for (const auto& [body, closed] : cases) {
        for (size_t pad = 0; pad < 10; ++pad) {
            const std::string text = std::string(pad, 'a') + body;
            const auto buffer = std::make_unique<char[]>(text.size() + 1);
            std::copy(text.begin(), text.end(), buffer.get());
            EXPECT_EQ(pdf_syntax::nestingClosed(std::string_view(buffer.get(), text.size())),
                      closed)
                << "'" << text << "'";
        }
    }
}
