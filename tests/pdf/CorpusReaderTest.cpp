// Every real file of the corpus through the reader: clean files load and fetch completely,
// encrypted ones open as qpdf opens them, and no file crashes, hangs or trips a sanitizer. A sample
// of files is compared with qpdf's view of the same file.

#include "ReaderTestUtil.h"

#include "fuzz/FuzzHarness.h"
#include "support/ExternalTools.h"

#include <cstdio>
#include <map>
#include <sstream>

using namespace reader_test;

namespace {

// Fetches every in-use row; the failures as "number: message" lines.
std::string fetchEveryRow(CPdfXRef& xref) {
    std::string failures;
    for (size_t n = 0; n < xref.entries().size(); ++n) {
        const XRefEntry row = xref.entries()[n];
        if (row.type == 0) {
            continue;
        }
        try {
            CPdfElement object;
            xref.fetchObject(static_cast<int32_t>(n), row.type == 1 ? row.generation : 0, object);
            if (row.type == 2 && !memberText(xref, static_cast<int32_t>(n))) {
                failures += std::to_string(n) + ": no compressed text\n";
            }
        } catch (const CPdfException& e) {
            failures += std::to_string(n) + ": " + e.getMessage() + "\n";
        }
    }
    return failures;
}

class Corpus : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = qm_test::corpusDir();
        if (dir_.empty()) {
            GTEST_SKIP() << qm_test::corpusMissing();
        }
        files_ = qm_test::corpusFiles(dir_);
        ASSERT_FALSE(files_.empty());
    }
    std::string dir_;
    std::vector<qm_test::CorpusFile> files_;
};

} // namespace

TEST_F(Corpus, CleanFilesLoadAndEveryRowFetches) {
    int checked = 0;
    for (const qm_test::CorpusFile& f : files_) {
        if (f.verdict != "clean") {
            continue;
        }
        SCOPED_TRACE(f.path);
        CPdfDocument document;
        std::string error = errorOf([&] { document.open(f.path); });
        ASSERT_EQ(error, "") << f.path;
        CPdfXRef& xref = *document.getXRef();
        CPdfElement root = fetch(xref, xref.root().number, xref.root().generation);
        ASSERT_TRUE(root.is(ElementKind::Dictionary)) << f.path;
        CPdfElement pages;
        root.getDictionary()->getEntry("Pages", pages);
        EXPECT_TRUE(pages.is(ElementKind::Dictionary)) << f.path;
        EXPECT_EQ(fetchEveryRow(xref), "") << f.path;
        ++checked;
    }
    EXPECT_GT(checked, 400);
}

// Encrypted files open with the empty user password where qpdf opens them so; the others
// need a password (one is damaged before its encryption can be read).
TEST_F(Corpus, EncryptedFilesOpenWithTheEmptyPassword) {
    if (!tools::available("qpdf")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    int opened = 0;
    int damaged = 0;
    for (const qm_test::CorpusFile& f : files_) {
        if (f.verdict != "encrypted") {
            continue;
        }
        const bool needsPassword = tools::run({"qpdf", "--requires-password", f.path}).status == 0;
        CPdfDocument document;
        const std::string error = errorOf([&] { document.open(f.path); });
        if (!needsPassword) {
            EXPECT_EQ(error, "") << f.path;
            opened += error.empty() ? 1 : 0;
        } else if (error == "PDF file was damaged") {
            ++damaged;
        } else {
            EXPECT_EQ(error, "PDF file needs a password: give it with -password") << f.path;
        }
    }
    EXPECT_EQ(opened, 17);
    EXPECT_LE(damaged, 1);
}

TEST_F(Corpus, NoFileCrashesOrHangs) {
    // Every file, whatever qpdf says of it, through the same code the document fuzzer runs.
    for (const qm_test::CorpusFile& f : files_) {
        SCOPED_TRACE(f.path);
        fuzz_harness::openAndFetchAll(f.path);
    }
}

TEST_F(Corpus, RowsAndPageCountsAgreeWithQpdf) {
    if (!tools::available("qpdf")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    int compared = 0;
    for (size_t i = 0; i < files_.size(); i += 7) {
        const qm_test::CorpusFile& f = files_[i];
        if (f.verdict != "clean") {
            continue;
        }
        CPdfDocument document;
        if (!errorOf([&] { document.open(f.path); }).empty()) {
            ADD_FAILURE() << f.path;
            continue;
        }
        CPdfXRef& xref = *document.getXRef();
        if (document.input().base() != 0) {
            continue; // qpdf reports offsets from the start of the file
        }
        // qpdf lists older generations of a number too; the table holds the newest, which
        // must be one of them.
        struct QpdfRow {
            int type;
            int64_t field2;
            int field3;
        };
        std::map<size_t, std::vector<QpdfRow>> byNumber;
        std::istringstream lines(tools::run({"qpdf", "--show-xref", f.path}).out);
        std::string line;
        while (std::getline(lines, line)) {
            unsigned long n = 0;
            int generation = 0;
            long long field2 = 0;
            int index = 0;
            if (std::sscanf(line.c_str(), "%lu/%d: uncompressed; offset = %lld", &n, &generation,
                            &field2) == 3) {
                byNumber[n].push_back({1, field2, generation});
            } else if (std::sscanf(line.c_str(), "%lu/%d: compressed; stream = %lld, index = %d",
                                   &n, &generation, &field2, &index) == 4) {
                byNumber[n].push_back({2, field2, index});
            }
        }
        int rows = 0;
        for (const auto& [n, candidates] : byNumber) {
            ASSERT_LT(n, xref.entries().size()) << f.path << " object " << n;
            const XRefEntry& row = xref.entries()[n];
            if (row.type == 0) {
                continue; // deleted by a newer section; qpdf still shows the old one
            }
            bool found = false;
            for (const QpdfRow& q : candidates) {
                found = found || (q.type == row.type && q.field2 == row.offset &&
                                  q.field3 == row.generation);
            }
            EXPECT_TRUE(found) << f.path << " object " << n << ": type " << row.type << " "
                               << row.offset << " " << row.generation;
            ++rows;
        }
        EXPECT_GT(rows, 0) << f.path;
        // The page count of the page tree's root, as qpdf counts the pages.
        CPdfElement root = fetch(xref, xref.root().number, xref.root().generation);
        CPdfElement pages;
        CPdfElement count;
        root.getDictionary()->getEntry("Pages", pages);
        if (pages.is(ElementKind::Dictionary)) {
            pages.getDictionary()->getEntry("Count", count);
        }
        EXPECT_EQ(count.getInteger(), tools::qpdfPageCount(f.path)) << f.path;
        ++compared;
    }
    EXPECT_GT(compared, 40);
}
