// Stamps every real document of the corpus with the built program and judges the outputs with
// independent readers: qpdf for validity and page count, pdftotext for the pages' own text and
// the stamp on each page.
#include "support/ExternalTools.h"
#include "support/ProgramRunner.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

// The text with the first occurrence of part (and one blank beside it) taken out.
std::string withoutFirst(std::string text, const std::string& part) {
    size_t at = text.find(part);
    if (at == std::string::npos) {
        return text;
    }
    size_t end = at + part.size();
    if (end < text.size() && text[end] == ' ') {
        ++end;
    } else if (at > 0 && text[at - 1] == ' ') {
        --at;
    }
    return text.erase(at, end - at);
}

bool onlyTheOutputIn(const TempDir& dir, const std::string& output) {
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        if (entry.path().string() != output) {
            return false;
        }
    }
    return true;
}

class CorpusStampTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(fs::path(QUILLMARK_CORPUS_DIR) / "MANIFEST.tsv")) {
            GTEST_SKIP() << qm_test::corpusMissing();
        }
        if (!tools::available("qpdf") || !tools::available("pdftotext")) {
            GTEST_SKIP() << tools::kJudgesMissing;
        }
        files_ = qm_test::corpusFiles(QUILLMARK_CORPUS_DIR);
        ASSERT_GT(files_.size(), 600u) << "the manifest lists the corpus";
    }

    void stampCleanFiles(bool incremental);

    std::vector<qm_test::CorpusFile> files_;
};

// A document that qpdf reads cleanly stamps into a document that qpdf reads cleanly, with every
// page, every page's own text and «Page i / n» on page i; as an incremental update, the output
// begins with every byte of the input.
void CorpusStampTest::stampCleanFiles(bool incremental) {
    int checked = 0;
    int unreadable = 0;
    for (const qm_test::CorpusFile& file : files_) {
        if (file.verdict != "clean") {
            continue;
        }
        SCOPED_TRACE(file.path);
        TempDir dir;
        const std::string output = dir.file("out.pdf");
        std::vector<std::string> arguments = {"-i" + file.path, "-o" + output, "-quiet"};
        if (incremental) {
            arguments.push_back("-incremental");
        }
        ProgramResult run = runProgram(arguments);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        ASSERT_TRUE(onlyTheOutputIn(dir, output)) << "no temporary file is left";
        if (incremental) {
            const std::string input = TempDir::read(file.path);
            ASSERT_EQ(TempDir::read(output).compare(0, input.size(), input), 0)
                << "the input is a prefix of the output";
        }
        std::string details;
        EXPECT_TRUE(tools::qpdfCheckClean(output, details)) << details;
        EXPECT_EQ(tools::qpdfPageCount(output), file.pages);

        const std::vector<std::string> after = tools::pdfTextPages(output, true);
        if (after.empty() && file.pages > 0 && tools::pdfTextPages(file.path, true).empty()) {
            // pdftotext cannot read this document at all (it loops on one corpus file).
            ++unreadable;
            continue;
        }
        // The input as qpdf reads it is the judge of what each page shows. An update leaves
        // the input's objects as they are and rewrites pages as the rewrite does: its pages
        // are judged by their stamps alone.
        std::vector<std::string> before;
        if (!incremental) {
            const std::string reference = dir.file("reference.pdf");
            ASSERT_EQ(tools::run({"qpdf", file.path, reference}).status, 0);
            before = tools::pdfTextPages(reference, true);
            ASSERT_EQ(before.size(), after.size());
        }
        const std::vector<std::string> laidOut = tools::pdfTextPages(output, false);
        const auto boxes = tools::pageCropBoxes(output);
        ASSERT_EQ(after.size(), static_cast<size_t>(file.pages));
        ASSERT_EQ(boxes.size(), after.size());
        for (size_t i = 0; i < after.size(); ++i) {
            const std::string stamp =
                "Page " + std::to_string(i + 1) + " / " + std::to_string(file.pages);
            // The stamp stands 20 points from the left and 10 from the bottom: pages smaller
            // than the text have no room to show it, or show it cut.
            const bool roomForStamp =
                boxes[i][2] - boxes[i][0] >= 100 && boxes[i][3] - boxes[i][1] >= 40;
            const std::string stamped = tools::normalizeSpace(after[i]);
            if (!incremental) {
                const std::string ownText = tools::normalizeSpace(before[i]);
                if (!roomForStamp) {
                    EXPECT_NE(stamped.find(ownText), std::string::npos)
                        << "page " << i + 1 << " keeps its own text";
                    continue;
                }
                EXPECT_EQ(withoutFirst(stamped, stamp), ownText)
                    << "page " << i + 1 << " keeps its own text and gains only the stamp";
            }
            if (roomForStamp) {
                EXPECT_NE(tools::normalizeSpace(laidOut[i]).find(stamp), std::string::npos)
                    << "page " << i + 1 << " shows " << stamp;
            }
        }
        ++checked;
    }
    EXPECT_GT(checked, 400);
    EXPECT_LE(unreadable, 2) << "files that pdftotext cannot read";
}

TEST_F(CorpusStampTest, CleanFilesStampIntoCleanOutputs) {
    stampCleanFiles(false);
}

TEST_F(CorpusStampTest, CleanFilesTakeCleanIncrementalUpdates) {
    stampCleanFiles(true);
}

// Files that qpdf has to repair, or cannot read, either stamp into a readable output or fail
// cleanly: the failure message, status 1 and no output file.
TEST_F(CorpusStampTest, DamagedFilesStampOrFailCleanly) {
    for (const qm_test::CorpusFile& file : files_) {
        if (file.verdict != "warnings" && file.verdict != "errors") {
            continue;
        }
        SCOPED_TRACE(file.path);
        TempDir dir;
        const std::string output = dir.file("out.pdf");
        ProgramResult run = runProgram({"-i" + file.path, "-o" + output, "-quiet"});
        ASSERT_TRUE(run.status == 0 || run.status == 1) << run.out << run.err;
        // A damaged file that qpdf and MuPDF both open is repaired and stamped, as viewers
        // repair it.
        if (file.verdict == "warnings" && tools::run({"mutool", "info", file.path}).status == 0 &&
            tools::qpdfPageCount(file.path) > 0) {
            EXPECT_EQ(run.status, 0) << run.out << run.err;
        }
        if (run.status == 0) {
            EXPECT_TRUE(onlyTheOutputIn(dir, output));
            EXPECT_GE(tools::qpdfPageCount(output), 0) << "the output is readable";
        } else {
            EXPECT_NE(run.out.find("Stamp file issue: '" + file.path + "'\n"), std::string::npos)
                << run.out;
            EXPECT_TRUE(fs::is_empty(dir.path())) << "no output is left behind";
        }
    }
}

// An encrypted file that opens without a password is stamped and stays encrypted, opening
// as it did (one whose permissions allow no changes is refused first, then stamped with
// -ignorepermissions); one that needs a password is refused with a cause that names it. Two
// exceptions: one is damaged before its encryption can be read, and one carries a
// certification signature that allows no changes, which refuses it as it refuses any file.
TEST_F(CorpusStampTest, EncryptedFilesOpenAsTheyDid) {
    auto named = [](const std::string& path, const std::string& name) {
        return path.size() >= name.size() &&
               path.compare(path.size() - name.size(), name.size(), name) == 0;
    };
    int opensFreely = 0;
    int stamped = 0;
    for (const qm_test::CorpusFile& file : files_) {
        if (file.verdict != "encrypted") {
            continue;
        }
        SCOPED_TRACE(file.path);
        const bool needsPassword =
            tools::run({"qpdf", "--requires-password", file.path}).status == 0;
        TempDir dir;
        const std::string output = dir.file("out.pdf");
        ProgramResult run = runProgram({"-i" + file.path, "-o" + output, "-quiet"});
        if (needsPassword) {
            EXPECT_EQ(run.status, 1);
            EXPECT_NE(run.out.find("Stamp file issue"), std::string::npos) << run.out;
            if (named(file.path, "qpdf-tests/issue-147.pdf")) {
                EXPECT_NE(run.err.find("PDF file was damaged"), std::string::npos) << run.err;
            } else {
                EXPECT_NE(run.err.find("PDF file needs a password: give it with -password"),
                          std::string::npos)
                    << run.err;
            }
            EXPECT_TRUE(fs::is_empty(dir.path()));
            continue;
        }
        ++opensFreely;
        if (run.status == 1) {
            EXPECT_NE(run.err.find("PDF file does not permit changes"), std::string::npos)
                << run.err;
            EXPECT_TRUE(fs::is_empty(dir.path()));
            run = runProgram({"-i" + file.path, "-o" + output, "-quiet", "-ignorepermissions"});
        }
        if (named(file.path, "qpdf-tests/minimal-signed-restricted.pdf")) {
            EXPECT_EQ(run.status, 1);
            EXPECT_NE(run.err.find("PDF file is certified against changes"), std::string::npos)
                << run.err;
            continue;
        }
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        ++stamped;
        EXPECT_EQ(tools::run({"qpdf", "--requires-password", output}).status, 3)
            << "opens without a password, as the input did";
        EXPECT_NE(tools::run({"qpdf", "--show-encryption", output}).out.find("R = "),
                  std::string::npos)
            << "still encrypted";
        EXPECT_NE(tools::run({"qpdf", "--check", output}).status, 2) << "no errors";
        const int pages = tools::qpdfPageCount(file.path);
        EXPECT_EQ(tools::qpdfPageCount(output), pages);
        // poppler cannot open one of them (a 128-bit key without /Length), the input as little
        // as the output: its text is then read from the copy that qpdf decrypts.
        std::string readable = output;
        if (tools::pdfTextPages(file.path, true).empty()) {
            readable = dir.file("clear.pdf");
            EXPECT_EQ(tools::run({"qpdf", "--decrypt", output, readable}).status, 0);
        }
        const std::vector<std::string> text = tools::pdfTextPages(readable, true);
        ASSERT_EQ(static_cast<int>(text.size()), pages);
        for (int p = 0; p < pages; ++p) {
            EXPECT_NE(text[static_cast<size_t>(p)].find("Page " + std::to_string(p + 1) + " / " +
                                                        std::to_string(pages)),
                      std::string::npos)
                << "page " << p + 1;
        }
    }
    EXPECT_EQ(opensFreely, 17);
    EXPECT_EQ(stamped, opensFreely - 1);
}

// The bytes with the value after their last "startxref" moved by 10, so that the last
// cross-reference section is not found where it is named and the file is repaired; empty when
// there is no such value.
std::string withLastStartxrefMoved(const std::string& bytes) {
    const size_t keyword = bytes.rfind("startxref");
    if (keyword == std::string::npos) {
        return {};
    }
    size_t digits = keyword + 9;
    while (digits < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[digits]))) {
        ++digits;
    }
    size_t end = digits;
    while (end < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[end]))) {
        ++end;
    }
    if (end == digits || end - digits > 15) {
        return {};
    }
    const long long moved = std::stoll(bytes.substr(digits, end - digits)) + 10;
    return bytes.substr(0, digits) + std::to_string(moved) + bytes.substr(end);
}

// A linearized protected file names its /Encrypt in the first page's trailer only: with its
// last startxref moved, it is repaired, and then either stamped with its protection kept or
// refused with the cause (its password, or the damage; permissions are set aside so that files
// that allow no changes reach the same step); it is never written without its protection.
TEST_F(CorpusStampTest, DamagedLinearizedEncryptedFilesStayProtected) {
    int linearized = 0;
    for (const qm_test::CorpusFile& file : files_) {
        if (file.verdict != "encrypted") {
            continue;
        }
        const std::string bytes = TempDir::read(file.path);
        if (bytes.substr(0, 1024).find("/Linearized") == std::string::npos) {
            continue;
        }
        SCOPED_TRACE(file.path);
        ++linearized;
        TempDir dir;
        const std::string damaged = withLastStartxrefMoved(bytes);
        ASSERT_FALSE(damaged.empty());
        const std::string input = dir.write("damaged.pdf", damaged);
        const std::string output = dir.file("out.pdf");
        const bool needsPassword =
            tools::run({"qpdf", "--requires-password", file.path}).status == 0;
        const ProgramResult run =
            runProgram({"-i" + input, "-o" + output, "-quiet", "-ignorepermissions"});
        if (run.status == 0) {
            EXPECT_FALSE(needsPassword) << "stamped without its password";
            EXPECT_NE(tools::run({"qpdf", "--show-encryption", output}).out.find("R = "),
                      std::string::npos)
                << "stamped with its protection";
            continue;
        }
        ASSERT_EQ(run.status, 1) << run.out << run.err;
        const std::string cause = needsPassword
                                      ? "PDF file needs a password: give it with -password"
                                      : "the file is protected, and its protection is kept only";
        EXPECT_NE(run.err.find(cause), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(output)) << "no output is left behind";
    }
    EXPECT_EQ(linearized, 15);
}

} // namespace
