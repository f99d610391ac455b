#include "FontTestUtil.h"
#include "support/ExternalTools.h"
#include "support/RecordingReporter.h"

#include "pdf/CPdfException.h"
#include "stamp/fonts/FontTable.h"
#include "stamp/pass/CPdfStamp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using font_test::TempFile;

namespace {

// Loads the sizes file into the job; returns the notes loadFontSizes gave, its warnings go to
// warnings.
std::string loadSizesCapturing(CPdfStamp& job, const std::string& path,
                               std::vector<std::string>* warnings = nullptr) {
    RecordingReporter reported;
    job.setReporter(reported);
    job.stamp.fontSizesFile = path;
    job.stamp.sizeTable = job.loadFontSizes(job.stamp);
    if (warnings != nullptr) {
        *warnings = reported.warnings;
    }
    return reported.notes;
}

std::string widthsText(const FontMetrics& font) {
    std::string text;
    for (int code = 0; code < 256; ++code) {
        text += std::to_string(font.widths[code]) + " ";
        if (code % 16 == 15) {
            text += "\n";
        }
    }
    return text;
}

TEST(FontSizes, ExampleFileChoosesTheSmallestLimitThatCoversTheWidth) {
    TempFile file("20,1300\n14,900\n10,600\n");
    CPdfStamp job;
    EXPECT_EQ(loadSizesCapturing(job, file.path()), "");
    ASSERT_EQ(job.stamp.sizeTable.count, 3);

    struct Row {
        int32_t width;
        int32_t size;
    };
    const Row rows[] = {{612, 14}, {1190, 20}, {1500, 11}, {600, 10}, {599, 10},
                        {601, 14}, {1300, 20}, {1301, 11}, {0, 11},   {-50, 11}};
    for (const Row& row : rows) {
        EXPECT_EQ(sizeForPageWidth(job.stamp, row.width), row.size) << "width " << row.width;
    }
}

TEST(FontSizes, LimitEqualToTheWidthMatches) {
    TempFile file("20,1300\n14,900\n");
    CPdfStamp job;
    loadSizesCapturing(job, file.path());
    EXPECT_EQ(sizeForPageWidth(job.stamp, 900), 14);
    EXPECT_EQ(sizeForPageWidth(job.stamp, 901), 20);
}

TEST(FontSizes, ConfiguredSizeIsTheFallbackAndNeedsASizesFile) {
    TempFile file("20,1300\n");
    CPdfStamp job;
    job.stamp.baseSize = 14;
    loadSizesCapturing(job, file.path());
    EXPECT_EQ(sizeForPageWidth(job.stamp, 2000), 14);
    EXPECT_EQ(sizeForPageWidth(job.stamp, 1000), 20);
    // Without a sizes file the table plays no part.
    job.stamp.fontSizesFile.clear();
    EXPECT_EQ(sizeForPageWidth(job.stamp, 1000), 14);
}

TEST(FontSizes, UnreadableFileIsReportedAndLeavesTheTableEmpty) {
    CPdfStamp job;
    job.stamp.sizeTable.count = 2;
    const std::string path = "/nonexistent/qm-sizes.txt";
    std::vector<std::string> warnings;
    EXPECT_EQ(loadSizesCapturing(job, path, &warnings),
              "Unable to open font sizes file: '" + path + "'\r\n");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind("Can't open the font sizes file '" + path + "': ", 0), 0u);
    EXPECT_TRUE(job.softFailure);
    EXPECT_EQ(job.stamp.sizeTable.count, 0);
    EXPECT_EQ(sizeForPageWidth(job.stamp, 612), 11);
}

TEST(FontSizes, EveryLineTakesAnEntryAndMissingNumbersReadAsZero) {
    struct Row {
        const char* line;
        int32_t size, limit;
    };
    const Row rows[] = {
        {"15\n", 15, 0},     {",700\n", 0, 0},       {"abc\n", 0, 0},
        {"\n", 0, 0},        {" 12 , 800\n", 12, 0}, {"12, 800\r\n", 12, 800},
        {"7,500\r", 7, 500}, {"-3,-4\n", -3, -4},    {"9,99999999999\n", 9, 2147483647},
    };
    std::string contents;
    for (const Row& row : rows) {
        contents += row.line;
    }
    TempFile file(contents);
    CPdfStamp job;
    loadSizesCapturing(job, file.path());
    ASSERT_EQ(job.stamp.sizeTable.count, 9);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(job.stamp.sizeTable.size[i], rows[i].size) << "line «" << rows[i].line << "»";
        EXPECT_EQ(job.stamp.sizeTable.widthLimit[i], rows[i].limit)
            << "line «" << rows[i].line << "»";
    }
}

TEST(FontSizes, LinesAfterTheTenthAreIgnored) {
    std::string contents;
    for (int i = 1; i <= 10; ++i) {
        contents += std::to_string(i) + ",100\n";
    }
    contents += "99,100000\n50,100000\n";
    TempFile file(contents);
    CPdfStamp job;
    loadSizesCapturing(job, file.path());
    EXPECT_EQ(job.stamp.sizeTable.count, 10);
    EXPECT_EQ(job.stamp.sizeTable.size[9], 10);
    EXPECT_EQ(sizeForPageWidth(job.stamp, 50000), 11) << "the eleventh line must not be used";
    EXPECT_EQ(sizeForPageWidth(job.stamp, 100), 10);
}

TEST(FontSizes, LongLinesAreReadInPiecesOf254Bytes) {
    // The first 254 bytes are one entry, the rest of the line another.
    TempFile file("20,1300" + std::string(300, ' ') + "\n14,900\n");
    CPdfStamp job;
    loadSizesCapturing(job, file.path());
    ASSERT_EQ(job.stamp.sizeTable.count, 3);
    EXPECT_EQ(job.stamp.sizeTable.size[0], 20);
    EXPECT_EQ(job.stamp.sizeTable.size[1], 0);
    EXPECT_EQ(job.stamp.sizeTable.size[2], 14);
}

TEST(FontDescriptor, HasTheExactLayout) {
    EXPECT_EQ(writeFontDescriptor("Arial"),
              " 0 obj\n<<\n/Type /FontDescriptor\n/FontName /Arial\n"
              "/FontBBox [-46 -210 1000 896]\n/Flags 34\n/ItalicAngle 0\n>>\nendobj\n");
}

TEST(FontDescriptor, WritesTheGivenNameAsAPdfNameAndTheSelectedBox) {
    const FontMetrics* bold = findFont("Arial-Bold");
    ASSERT_NE(bold, nullptr);
    char box[64];
    std::snprintf(box, sizeof box, "[%d %d %d %d]", bold->bbox[0], bold->bbox[1], bold->bbox[2],
                  bold->bbox[3]);
    const std::string text = writeFontDescriptor("Arial Bold");
    EXPECT_NE(text.find("\n/FontName /Arial#20Bold\n"), std::string::npos) << text;
    EXPECT_NE(text.find(std::string("/FontBBox ") + box), std::string::npos) << text;
}

TEST(FontDescriptor, UnknownNameThrows) {
    for (const char* name : {"arial", "", "NoSuchFont", "12"}) {
        try {
            writeFontDescriptor(name);
            ADD_FAILURE() << "«" << name << "» did not throw";
        } catch (const CPdfException& e) {
            EXPECT_EQ(e.message(), "Unknown font name") << "«" << name << "»";
        }
    }
}

TEST(FontObject, HasTheExactLayout) {
    std::string sixteen;
    for (int i = 0; i < 16; ++i) {
        sixteen += "600 ";
    }
    std::string widths;
    for (int i = 0; i < 16; ++i) {
        widths += sixteen + "\n";
    }
    EXPECT_EQ(writeFontObject("Courier", "F7", 42),
              " 0 obj\n<<\n/Type /Font\n/Name /F7 \n/Subtype /TrueType\n"
              "/Encoding /WinAnsiEncoding\n/BaseFont /Courier\n/FontDescriptor 42 0 R\n"
              "/FirstChar 0\n/LastChar 255\n/Widths [\n" +
                  widths + " ]\n>>\nendobj\n");
}

TEST(FontObject, WidthsAreSixteenLinesOfSixteenOfTheSelectedFont) {
    for (const char* name : {"Arial", "Times New Roman", "Wingdings3", "ZapfDingbats"}) {
        const FontMetrics* font = findFont(name);
        ASSERT_NE(font, nullptr) << name;
        const std::string text = writeFontObject(name, "F1", 0);
        const size_t start = text.find("/Widths [\n");
        const size_t end = text.find(" ]\n>>\nendobj\n");
        ASSERT_NE(start, std::string::npos) << name;
        ASSERT_NE(end, std::string::npos) << name;
        const std::string array = text.substr(start + 10, end - start - 10);
        EXPECT_EQ(array, widthsText(*font)) << name;

        std::istringstream lines(array);
        std::string line;
        int lineCount = 0;
        while (std::getline(lines, line)) {
            ++lineCount;
            std::istringstream numbers(line);
            int n = 0, count = 0;
            while (numbers >> n) {
                ++count;
            }
            EXPECT_EQ(count, 16) << name << " line " << lineCount;
            EXPECT_EQ(line.back(), ' ') << name << " line " << lineCount;
        }
        EXPECT_EQ(lineCount, 16) << name;
    }
}

TEST(FontObject, EscapesTheNameAndNumbersTheDescriptorAsGiven) {
    const std::string text = writeFontObject("Arial Bold", "F3", 7);
    EXPECT_NE(text.find("\n/BaseFont /Arial#20Bold\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n/FontDescriptor 7 0 R\n"), std::string::npos) << text;
    EXPECT_NE(text.find(widthsText(*findFont("Arial-Bold"))), std::string::npos);
}

TEST(FontObject, NameWithoutEntryHasNoWidths) {
    const std::string text = writeFontObject("arial", "F2", 0);
    EXPECT_EQ(text, " 0 obj\n<<\n/Type /Font\n/Name /F2 \n/Subtype /TrueType\n"
                    "/Encoding /WinAnsiEncoding\n/BaseFont /arial\n/FontDescriptor 0 0 R\n"
                    "/FirstChar 0\n/LastChar 255\n>>\nendobj\n");
}

// Lays out a one-page PDF whose page draws text with the two font objects, numbered as a
// stamping pass numbers them: the input has objects 0 to 4, the descriptor is 5, the font 6.
std::string onePagePdf(const std::string& fontName) {
    const std::string content = "BT /F1 12 Tf 72 720 Td (Page 1 / 12) Tj ET";
    const std::vector<std::string> bodies = {
        " 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n",
        " 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n",
        " 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] "
        "/Resources << /Font << /F1 6 0 R >> >> /Contents 4 0 R >>\nendobj\n",
        " 0 obj\n<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
            "\nendstream\nendobj\n",
        writeFontDescriptor(fontName),
        writeFontObject(fontName, "F1", 5),
    };
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < bodies.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + bodies[i];
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(bodies.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char row[32];
        std::snprintf(row, sizeof row, "%010zu 00000 n \n", offset);
        pdf += row;
    }
    pdf += "trailer\n<< /Size " + std::to_string(bodies.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

TEST(FontObjects, QpdfAcceptsAPageThatUsesThem) {
    if (std::system("qpdf --version > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    for (const char* name : {"Arial Bold", "Helvetica", "Times New Roman", "Arial (Bold)#1"}) {
        TempFile pdf(onePagePdf(name), ".pdf");
        TempFile report("");
        const std::string command =
            "qpdf --check '" + pdf.path() + "' > '" + report.path() + "' 2>&1";
        const int status = std::system(command.c_str());
        std::ifstream in(report.path());
        const std::string output((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
        EXPECT_EQ(status, 0) << name << ": " << output;
        EXPECT_EQ(output.find("WARNING"), std::string::npos) << name << ": " << output;
        EXPECT_NE(output.find("No syntax or stream encoding errors"), std::string::npos)
            << name << ": " << output;
    }
}

} // namespace
