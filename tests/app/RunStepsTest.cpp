// The steps of a run around its pass: the -export counter, the -rename and the source's removal.
#include "app/RunSteps.h"
#include "stamp/pass/CPdfStamp.h"
#include "support/PdfBuilder.h"
#include "support/RecordingReporter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using qmtest::PdfBuilder;

namespace {

// A catalog, a page-tree root and `pages` pages, each with its own content stream and an
// inline font dictionary.
PdfBuilder simpleDocument(int pages) {
    PdfBuilder pdf;
    std::string kids;
    for (int i = 0; i < pages; ++i) {
        kids += std::to_string(3 + 2 * i) + " 0 R ";
    }
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    pdf.object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) +
                      " /MediaBox [0 0 612 792] >>");
    for (int i = 0; i < pages; ++i) {
        const int page = 3 + 2 * i;
        pdf.object(page, "<< /Type /Page /Parent 2 0 R /Contents " + std::to_string(page + 1) +
                             " 0 R\n/Resources << /Font << /F0 99 0 R >> >> >>");
        pdf.stream(page + 1, "",
                   "BT /F0 12 Tf 100 700 Td (Sheet " + std::to_string(i + 1) + ") Tj ET");
    }
    return pdf;
}

class RunStepsTest : public ::testing::Test {
  protected:
    // Stamps the document with the job's settings and the steps around the pass; returns the
    // output bytes as the pass wrote them.
    std::string stamp(const PdfBuilder& pdf) {
        input_ = dir_.write("in.pdf", pdf.bytes());
        output_ = dir_.file("out.pdf");
        job_.inputName = input_;
        job_.outputName = output_;
        job_.quiet = true;
        RunSteps steps(job_);
        result_ = steps.stampDocument();
        return TempDir::read(result_.output);
    }

    void SetUp() override { job_.setReporter(reported_); }

    TempDir dir_;
    RecordingReporter reported_;
    CPdfStamp job_;
    PassResult result_; // what the last stamp() did
    std::string input_;
    std::string output_;
};

TEST_F(RunStepsTest, ImportsAndExportsTheCounter) {
    const std::string counter = dir_.write("counter.txt", "41\r\n");
    job_.importFile = counter;
    job_.exportFile = counter;
    const std::string out = stamp([] {
        PdfBuilder pdf = simpleDocument(3);
        pdf.classicXRef();
        return pdf;
    }());
    EXPECT_NE(out.find("(Page 43 / 3) Tj"), std::string::npos);
    EXPECT_EQ(TempDir::read(counter), "44");
}

TEST_F(RunStepsTest, ExportsOneWhenNoPageIsStamped) {
    job_.stamp.startPage = 5;
    job_.stamp.endPage = 3;
    job_.exportFile = dir_.file("counter.txt");
    PdfBuilder pdf = simpleDocument(2);
    pdf.classicXRef();
    const std::string out = stamp(pdf);
    EXPECT_EQ(TempDir::read(job_.exportFile), "1");
    EXPECT_EQ(out.find(" Tj\nET"), std::string::npos);
}

TEST_F(RunStepsTest, RenamesTheOutputAndRemovesTheSource) {
    job_.stamp.maskWidth = 3;
    job_.renamePattern = "[FILETITLE]_[PAGESTART]-[PAGEEND].pdf";
    job_.removeSource = true;
    PdfBuilder pdf = simpleDocument(7);
    pdf.classicXRef();
    stamp(pdf);
    const std::string renamed = dir_.file("out_001-007.pdf");
    EXPECT_EQ(reported_.notes, "\nRenaming output file: '" + output_ + "' to '" + renamed + "'\n");
    EXPECT_EQ(result_.output, renamed);
    EXPECT_TRUE(fs::exists(renamed));
    EXPECT_FALSE(fs::exists(output_));
    EXPECT_FALSE(fs::exists(input_)) << "the source is removed";
    EXPECT_FALSE(job_.softFailure);
}

} // namespace
