// The fast reading of classic table rows in the layout writers use, and of bytes in bulk: both
// give what the byte-by-byte and token-by-token reading gives.

#include "ReaderTestUtil.h"

#include "pdf/CPdfFileStream.h"
#include "pdf/CPdfInputFile.h"
#include "pdf/CPdfTableScanner.h"

#include <random>
#include <variant>

using qm_test::PdfBuilder;
using namespace reader_test;

namespace {

const auto row = PdfBuilder::tableRow;

} // namespace

TEST(StandardRows, EveryLineEndAndRowsOfOtherLayoutsInOneTable) {
    PdfBuilder pdf;
    basicObjects(pdf);
    // Rows 1-3 in the standard layout with the three two-byte line ends, row 0 with a comment
    // word after it, and a short row: the last two go the token way.
    std::string table = "xref\n0 4\n0000000000 65535 f free list\n" +
                        row(pdf.offsetOf(1), 0, 'n', " \r") + row(pdf.offsetOf(2), 0, 'n', " \n") +
                        std::to_string(pdf.offsetOf(3)) + " 0 n\n" +
                        "trailer << /Root 1 0 R /Size 4 >>\n";
    pdf.rawSection(table);
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    ASSERT_EQ(xref.entries().size(), 4u);
    EXPECT_EQ(xref.entries()[0].type, 0);
    EXPECT_EQ(xref.entries()[0].generation, 65535);
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(xref.entries()[n].type, 1) << n;
        EXPECT_EQ(xref.entries()[n].offset, pdf.offsetOf(n)) << n;
    }
    EXPECT_TRUE(fetch(xref, 3).is(ElementKind::Dictionary));
}

TEST(StandardRows, ATableLongerThanTheReadAheadKeepsEveryRow) {
    // Rows straddle the blocks the file stream reads ahead, which start small and grow.
    PdfBuilder pdf;
    basicObjects(pdf);
    constexpr int kRows = 3000;
    // Objects in use are in the file, under the generation their rows give.
    auto offsetOf = [&pdf](int n) {
        return n <= 3 || n % 5 != 0 ? pdf.offsetOf(n) : 100000 + 7 * n;
    };
    auto generationOf = [](int n) { return n <= 3 ? 0 : n % 3; };
    for (int n = 4; n < kRows; ++n) {
        if (n % 5 != 0) {
            pdf.object(n, std::to_string(n), generationOf(n));
        }
    }
    std::string table = "xref\n0 " + std::to_string(kRows) + "\n0000000000 65535 f \n";
    for (int n = 1; n < kRows; ++n) {
        table += row(offsetOf(n), generationOf(n), n % 5 == 0 && n > 3 ? 'f' : 'n',
                     n % 2 == 0 ? "\r\n" : " \n");
    }
    table += "trailer << /Root 1 0 R /Size " + std::to_string(kRows) + " >>\n";
    pdf.rawSection(table);
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    ASSERT_FALSE(xref.repaired()) << xref.repairCause();
    ASSERT_EQ(xref.entries().size(), static_cast<size_t>(kRows));
    for (int n = 4; n < kRows; ++n) {
        const XRefEntry& entry = xref.entries()[static_cast<size_t>(n)];
        ASSERT_EQ(entry.offset, offsetOf(n)) << n;
        ASSERT_EQ(entry.generation, generationOf(n)) << n;
        ASSERT_EQ(entry.type, n % 5 == 0 ? 0 : 1) << n;
    }
}

TEST(StandardRows, ScannerReadsOnlyRowsOfTheLayout) {
    struct Case {
        std::string text;
        bool standard;
        int64_t offset;
        int64_t generation;
        bool inUse;
    };
    const Case cases[] = {
        {"0000012345 00000 n\r\nrest", true, 12345, 0, true},
        {"  \n0000000017 00003 f \nrest", true, 17, 3, false},
        {"0000012345 00000 n  \n", false, 0, 0, false}, // three bytes after the letter
        {"000001234 00000 n \r\n", false, 0, 0, false}, // nine digits
        {"0000012345 00000 x \r", false, 0, 0, false},  // no n or f
        {"0000012345 00000 nx\n", false, 0, 0, false},  // the letter starts a longer word
        {"0000012345 0000", false, 0, 0, false},        // the end of the bytes
        {"trailer\n<< /Size 1 >>", false, 0, 0, false},
        {"% a comment\n0000000017 00000 n \nrest", true, 17, 0, true}, // the token way
        {"0000000017 0000a n \n", false, 0, 0, false},                 // a letter among digits
        {"00000:0017 00000 n \n", false, 0, 0, false}, // the bytes either side of the digits
        {"0000/00017 00000 n \n", false, 0, 0, false},
        {"*000000017 00000 n \n", false, 0, 0, false},
        {"000000001: 00000 n \n", false, 0, 0, false},
        {"9876543210 00000 n \n", true, 9876543210LL, 0, true},
        {"\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff 00000 n \n", false, 0, 0, false},
    };
    for (const Case& c : cases) {
        TempDir folder;
        const std::string path = folder.write("rows.bin", c.text);
        CPdfInputFile input;
        ASSERT_TRUE(input.open(path));
        {
            CPdfFileStream stream(input, 0, 0, nullElement());
            CPdfTableScanner scanner(stream);
            int64_t offset = -1;
            int64_t generation = -1;
            bool inUse = false;
            const bool standard = scanner.nextStandardRow(offset, generation, inUse);
            EXPECT_EQ(standard, c.standard) << c.text;
            if (standard) {
                EXPECT_EQ(offset, c.offset) << c.text;
                EXPECT_EQ(generation, c.generation) << c.text;
                EXPECT_EQ(inUse, c.inUse) << c.text;
                EXPECT_TRUE(scanner.next().isWord("rest") ||
                            c.text.find("rest") == std::string::npos)
                    << c.text;
            } else {
                // Nothing but white-space was consumed: the tokens are still all there.
                const CPdfTableScanner::Token first = scanner.next();
                EXPECT_NE(first.kind, CPdfTableScanner::Kind::End) << c.text;
            }
        }
    }
}

// Rows read in runs are the rows read one at a time, and a row read without tokens is what the
// tokens read there: thousands of rows in the layout or one byte off it, with white-space,
// comments and words between them, across the refills of the stream.
TEST(StandardRows, RunsReadAsSingleRowsAndAsTheTokens) {
    std::mt19937 random(29);
    const std::string misfits = std::string("0123456789 \r\n\t%nfx/:*\xff") + '\0';
    const char* const ends[] = {" \r", " \n", "\r\n"};
    std::string text;
    for (int i = 0; i < 8000; ++i) {
        std::string line =
            row(static_cast<int64_t>(random() % 10000000000ULL),
                static_cast<int>(random() % 100000), random() % 2 ? 'n' : 'f', ends[random() % 3]);
        if (random() % 4 == 0) {
            line[random() % line.size()] = misfits[random() % misfits.size()];
        }
        if (random() % 40 == 0) {
            line = (random() % 2 ? " % note\n" : "\n  ") + line;
        }
        text += line;
    }
    TempDir folder;
    CPdfInputFile input;
    ASSERT_TRUE(input.open(folder.write("rows.bin", text)));

    // What one reading gives: each row read without tokens, or else the token there.
    using Row = CPdfTableScanner::StandardRow;
    using Event = std::variant<std::tuple<int64_t, int64_t, bool>, std::pair<int, int64_t>>;
    auto readAll = [&input](bool inRuns) {
        std::vector<Event> events;
        CPdfFileStream stream(input, 0, 0, nullElement());
        CPdfTableScanner scanner(stream);
        for (size_t round = 0;; ++round) {
            Row run[64];
            const size_t read = inRuns ? scanner.nextStandardRows(run, 1 + round % 64) : 0;
            for (size_t k = 0; k < read; ++k) {
                events.emplace_back(
                    std::make_tuple(run[k].offset, run[k].generation, run[k].inUse));
            }
            if (read > 0) {
                continue;
            }
            const uint64_t start = stream.getPos();
            Row single;
            if (scanner.nextStandardRow(single.offset, single.generation, single.inUse)) {
                events.emplace_back(
                    std::make_tuple(single.offset, single.generation, single.inUse));
                // The tokens from the same place read the same row.
                CPdfFileStream again(input, 0, 0, nullElement());
                again.setPos(static_cast<int64_t>(start));
                CPdfTableScanner tokens(again);
                const CPdfTableScanner::Token offset = tokens.next();
                const CPdfTableScanner::Token generation = tokens.next();
                const CPdfTableScanner::Token type = tokens.next();
                EXPECT_EQ(offset.kind, CPdfTableScanner::Kind::Integer) << start;
                EXPECT_EQ(offset.value, single.offset) << start;
                EXPECT_EQ(generation.kind, CPdfTableScanner::Kind::Integer) << start;
                EXPECT_EQ(generation.value, single.generation) << start;
                EXPECT_TRUE(type.isWord(single.inUse ? "n" : "f")) << start;
                continue;
            }
            const CPdfTableScanner::Token token = scanner.next();
            if (token.kind == CPdfTableScanner::Kind::End) {
                break;
            }
            events.emplace_back(std::make_pair(static_cast<int>(token.kind), token.value));
        }
        return events;
    };
    const std::vector<Event> single = readAll(false);
    const std::vector<Event> runs = readAll(true);
    EXPECT_GT(single.size(), 8000u);
    ASSERT_EQ(runs.size(), single.size());
    for (size_t k = 0; k < runs.size(); ++k) {
        ASSERT_EQ(runs[k], single[k]) << "event " << k;
    }
}

TEST(StandardRows, GetCharsReadsAsGetCharDoes) {
    std::string bytes;
    for (int i = 0; i < 70000; ++i) {
        bytes.push_back(static_cast<char>(i * 7 + i / 251));
    }
    TempDir folder;
    const std::string path = folder.write("bytes.bin", bytes);
    CPdfInputFile input;
    ASSERT_TRUE(input.open(path));
    {
        CPdfFileStream stream(input, 0, 0, nullElement());
        std::string read;
        unsigned char chunk[3001];
        // Pieces that cross the stream's buffer refills, mixed with single bytes.
        for (;;) {
            const int c = stream.getChar();
            if (c < 0) {
                break;
            }
            read.push_back(static_cast<char>(c));
            const size_t got = stream.getChars(chunk, sizeof chunk);
            read.append(reinterpret_cast<const char*>(chunk), got);
            if (got < sizeof chunk) {
                break;
            }
        }
        EXPECT_EQ(read, bytes);
        EXPECT_EQ(stream.getChars(chunk, 10), 0u);
    }

    // The default of the base class: a memory stream reads through getChar.
    CPdfMemoryStream* memory = new CPdfMemoryStream(
        reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0, 0, nullElement());
    std::vector<unsigned char> all(bytes.size() + 5);
    EXPECT_EQ(memory->getChars(all.data(), all.size()), bytes.size());
    EXPECT_EQ(std::string(all.begin(), all.begin() + static_cast<long>(bytes.size())), bytes);
    memory->release();
}
