// The steps of a run around its pass: the -export counter, the -rename and the source's removal.
#include "app/RunSteps.h"
#include "stamp/pass/CPdfStamp.h"
#include "support/PdfBuilder.h"
#include "support/RecordingReporter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using qm_test::PdfBuilder;

namespace {

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
        PdfBuilder pdf = PdfBuilder::simpleDocument(3);
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
    PdfBuilder pdf = PdfBuilder::simpleDocument(2);
    pdf.classicXRef();
    const std::string out = stamp(pdf);
    EXPECT_EQ(TempDir::read(job_.exportFile), "1");
    EXPECT_EQ(out.find(" Tj\nET"), std::string::npos);
}

TEST_F(RunStepsTest, RenamesTheOutputAndRemovesTheSource) {
    job_.stamp.maskWidth = 3;
    job_.renamePattern = "[FILETITLE]_[PAGESTART]-[PAGEEND].pdf";
    job_.removeSource = true;
    PdfBuilder pdf = PdfBuilder::simpleDocument(7);
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
