// The output's cross-reference rows: the classic table of a rewrite and the table of an
// incremental update, byte for byte, over tables that fill the writer's pieces several times.

#include "pdf/CPdfDocument.h"
#include "pdf/CPdfException.h"
#include "stamp/write/COutputWriter.h"
#include "support/PdfBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

using qm_test::PdfBuilder;

namespace {

struct Row {
    size_t number;
    uint64_t offset;
    uint32_t generation;
};

// The rows in use of a table of 3,100: single ones, runs of two, one run of 2,500 rows, offsets
// of every length up to ten digits, generations up to 65535, and the last row.
std::vector<Row> rowsInUse() {
    std::vector<Row> rows = {
        {1, 0, 0}, {2, 9, 1}, {4, 10, 0}, {5, 1234567890, 65535}, {9, 9999999999ULL, 12}};
    for (size_t n = 20; n < 2520; ++n) {
        rows.push_back({n, n * 7919 % 100000000, static_cast<uint32_t>(n % 3 == 0 ? n : 0)});
    }
    rows.push_back({3099, 42, 0});
    return rows;
}

// What a row of the table reads, written here with printf.
std::string rowText(uint64_t offset, uint32_t generation, char kind) {
    char text[32];
    std::snprintf(text, sizeof text, "%010" PRIu64 " %05u %c \r", offset, generation, kind);
    return text;
}

} // namespace

TEST(OutputWriter, TableOfARewriteListsEveryRow) {
    constexpr size_t kRows = 3100;
    const std::vector<Row> inUse = rowsInUse();
    std::vector<std::string> expectedRows(kRows, rowText(0, 0, 'f'));
    expectedRows[0] = rowText(0, 65535, 'f');

    TempDir folder;
    const std::string path = folder.file("out.pdf");
    COutputWriter writer;
    ASSERT_TRUE(writer.create(path));
    writer.startRows(kRows, kRows);
    for (const Row& row : inUse) {
        ASSERT_TRUE(writer.setOutputEntry(static_cast<int64_t>(row.number), row.generation,
                                          row.offset, true));
        expectedRows[row.number] = rowText(row.offset, row.generation, 'n');
    }
    writer.writeXRefTable();
    ASSERT_TRUE(writer.file().commit());
    std::string expected = "xref\n0 3100\r";
    for (const std::string& text : expectedRows) {
        expected += text;
    }
    const std::string written = TempDir::read(path);
    ASSERT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected);

    // An offset of eleven digits has no row.
    COutputWriter tooLarge;
    ASSERT_TRUE(tooLarge.create(folder.file("large.pdf")));
    tooLarge.startRows(3, 3);
    ASSERT_TRUE(tooLarge.setOutputEntry(2, 0, 10000000000ULL, true));
    EXPECT_THROW(tooLarge.writeXRefTable(), CPdfException);
}

// The update's section is of the kind the input's last one is: a table, or a stream whose
// rows are type 1, the offset in as few bytes as the largest needs, the generation in two.
TEST(OutputWriter, SectionOfAnUpdateListsItsRunsOfRowsInUse) {
    for (const bool stream : {false, true}) {
        SCOPED_TRACE(stream ? "stream" : "table");
        PdfBuilder pdf;
        pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
            .object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
        if (stream) {
            pdf.streamXRef();
        } else {
            pdf.classicXRef();
        }
        TempDir folder;
        const std::string input = folder.file("in.pdf");
        ASSERT_TRUE(pdf.writeTo(input));
        CPdfDocument document;
        document.open(input);

        constexpr size_t kRows = 3100;
        std::vector<Row> inUse = rowsInUse();
        const std::string path = folder.file("out.pdf");
        COutputWriter writer;
        ASSERT_TRUE(writer.create(path));
        writer.startRows(3, kRows);
        writer.reserveRows(kRows - 3);
        for (const Row& row : inUse) {
            ASSERT_TRUE(writer.setOutputEntry(static_cast<int64_t>(row.number), row.generation,
                                              row.offset, true));
        }
        writer.write(std::string(321, '%')); // the update's objects, before its section
        writer.writeUpdateSection(*document.getXRef());
        ASSERT_TRUE(writer.file().commit());

        // A stream lists itself as well, in the row after the table's last.
        if (stream) {
            inUse.push_back({kRows, 321, 0});
        }
        std::vector<const Row*> byNumber(kRows + 1, nullptr);
        for (const Row& row : inUse) {
            byNumber[row.number] = &row;
        }
        // Each run of consecutive rows in use is a subsection: "first count", then its rows.
        std::string subsections;
        std::string index;
        std::string rows;
        for (size_t first = 1; first <= kRows;) {
            if (byNumber[first] == nullptr) {
                ++first;
                continue;
            }
            size_t end = first;
            std::string tableRows;
            for (; end <= kRows && byNumber[end] != nullptr; ++end) {
                const Row& row = *byNumber[end];
                tableRows += rowText(row.offset, row.generation, 'n');
                // The largest offset, 9999999999, takes five bytes.
                rows += '\1';
                for (int shift = 32; shift >= 0; shift -= 8) {
                    rows += static_cast<char>((row.offset >> shift) & 0xFF);
                }
                rows += static_cast<char>(row.generation >> 8);
                rows += static_cast<char>(row.generation & 0xFF);
            }
            const std::string heading = std::to_string(first) + " " + std::to_string(end - first);
            subsections += heading + "\n" + tableRows;
            index += (index.empty() ? "" : " ") + heading;
            first = end;
        }
        const std::string prev = "/Prev " + std::to_string(pdf.lastXRefOffset()) + "\n";
        std::string expected = std::string(321, '%');
        if (stream) {
            expected += "3100 0 obj\n<<\n/Type /XRef\n/Size 3101\n/Root 1 0 R\n" + prev +
                        "/W [1 5 2]\n/Index [" + index + "]\n/Length " +
                        std::to_string(rows.size()) + "\n>>\nstream\r\n" + rows +
                        "\r\nendstream\nendobj\nstartxref\n321\n%%EOF\n";
        } else {
            expected += "xref\n" + subsections + "trailer\n<<\n/Size 3100\n/Root 1 0 R\n" + prev +
                        ">>\nstartxref\n321\n%%EOF\n";
        }
        const std::string written = TempDir::read(path);
        ASSERT_EQ(written.size(), expected.size());
        EXPECT_TRUE(written == expected);
    }
}
