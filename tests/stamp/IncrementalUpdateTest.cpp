// The incremental-update output: the input's bytes stay a prefix of the output, the stamped
// pages follow with a cross-reference section that chains to the input's, and signed inputs
// keep a valid signature. Judged by qpdf, pdftotext and poppler's pdfsig; the signed inputs
// are made here and signed with openssl.
#include "stamp/fonts/CFontFace.h"
#include "support/ExternalTools.h"
#include "support/ImageBuilder.h"
#include "support/PdfBuilder.h"
#include "support/ProgramRunner.h"
#include "support/StickerPdf.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Whether the file at path begins with every byte of prefix.
bool startsWith(const std::string& path, const std::string& prefix) {
    return TempDir::read(path).compare(0, prefix.size(), prefix) == 0;
}

std::string hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char c : bytes) {
        text += kDigits[c >> 4];
        text += kDigits[c & 15];
    }
    return text;
}

// A one-page document with a signature field whose value signs the whole file: a detached
// PKCS#7 signature (openssl cms) over the two byte ranges around its /Contents. signatureExtra
// goes into the signature dictionary and catalogExtra into the catalog. Empty when openssl
// fails.
std::string makeSignedPdf(const TempDir& dir, const std::string& signatureExtra = "",
                          const std::string& catalogExtra = "") {
    constexpr size_t kContentsDigits = 8192;
    qm_test::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [4 0 R] /SigFlags 3 >> " +
                      catalogExtra + " >>")
        .object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 6 0 R "
                   "/Resources << /Font << /F1 7 0 R >> >> /Annots [4 0 R] >>")
        .object(4, "<< /Type /Annot /Subtype /Widget /FT /Sig /T (Signature1) /Rect [0 0 0 0] "
                   "/F 132 /P 3 0 R /V 5 0 R >>")
        .object(5, "<< /Type /Sig /Filter /Adobe.PPKLite /SubFilter /adbe.pkcs7.detached "
                   "/ByteRange [0 0000000000 0000000000 0000000000] /Contents <" +
                       std::string(kContentsDigits, '0') + "> /M (D:20261209120000Z) " +
                       signatureExtra + " >>")
        .stream(6, "", "BT /F1 24 Tf 72 700 Td (Signed text) Tj ET")
        .object(7, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
        .classicXRef({.trailerExtra = "/ID [<0123456789ABCDEF0123456789ABCDEF> "
                                      "<0123456789ABCDEF0123456789ABCDEF>]"});
    std::string bytes = pdf.bytes();
    const size_t ranges = bytes.find("[0 0000000000 0000000000 0000000000]");
    const size_t open = bytes.find('<', bytes.find("/Contents <", ranges));
    const size_t after = open + kContentsDigits + 2;
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "[0 %010zu %010zu %010zu]", open, after,
                  bytes.size() - after);
    bytes.replace(ranges, std::strlen(numbers), numbers);

    const std::string key = dir.file("key.pem");
    const std::string cert = dir.file("cert.pem");
    const std::string der = dir.file("signature.der");
    const std::string signedBytes =
        dir.write("signed.bin", bytes.substr(0, open) + bytes.substr(after));
    if (tools::run({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                    "-out", cert, "-subj", "/CN=Quillmark Test", "-days", "3650"})
                .status != 0 ||
        tools::run({"openssl", "cms", "-sign", "-binary", "-outform", "DER", "-md", "sha256", "-in",
                    signedBytes, "-signer", cert, "-inkey", key, "-out", der})
                .status != 0) {
        return {};
    }
    const std::string signature = hex(TempDir::read(der));
    if (signature.empty() || signature.size() > kContentsDigits) {
        return {};
    }
    bytes.replace(open + 1, signature.size(), signature);
    return dir.write("signed.pdf", bytes);
}

// What pdfsig says of the file's first signature, in one line per fact.
std::string signatureReport(const std::string& path) {
    return tools::run({"pdfsig", path}).out;
}

class SignedInputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* tool : {"openssl", "pdfsig", "qpdf", "pdftotext"}) {
            if (!tools::available(tool)) {
                GTEST_SKIP() << tools::kJudgesMissing;
            }
        }
    }
};

// A signed document is stamped as an update, with or without the option, and in text-lines
// mode one update a line: its signature is still valid and covers the input's bytes, which
// the output begins with, and every stamp shows.
TEST_F(SignedInputTest, StampsAsAnUpdateThatKeepsTheSignatureValid) {
    const std::string notice = "Signed PDF file: the stamp is added as an incremental update";
    struct Case {
        const char* name;
        std::vector<std::string> options;
        bool noticeShown;
        std::vector<std::string> stamps;
    };
    std::vector<Case> cases = {
        {"without the option", {}, true, {"Page 1 / 1"}},
        {"with -incremental", {"-incremental"}, true, {"Page 1 / 1"}},
        {"quiet", {"-quiet"}, false, {"Page 1 / 1"}},
        {"text lines",
         {"-textfile", "lines.txt", "-pos20,100"},
         true,
         {"first line", "second line"}},
        {"a Bates number and a legend in one pass",
         {"-fliph", "-pos30,20", "-align", "right", "-prefix", "ABC", "-m6", "-one", "-sep", "",
          "-next", "-nopg", "-prefix", "CONFIDENTIAL", "-sep", "", "-pos30,20"},
         true,
         {"ABC000001", "CONFIDENTIAL"}},
        {"a Bates number and a logo",
         {"-prefix", "ABC", "-m6", "-one", "-sep", "", "-next", "-image", "logo.png",
          "-pos300,300"},
         true,
         {"ABC000001"}},
        {"a Bates number and a page of another PDF",
         {"-prefix", "ABC", "-m6", "-one", "-sep", "", "-next", "-overlay", "sticker.pdf",
          "-pos300,300"},
         true,
         {"ABC000001", "STICKER"}},
    };
    // The embedded font's objects go into the update as well.
    const std::string dejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    if (CFontFace::supported() && fs::exists(dejaVu)) {
        cases.push_back({"embedded font",
                         {"-embedfont", dejaVu, "-prefix", "Strona ", "-sep", " z "},
                         true,
                         {"Strona 1 z 1"}});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string input = makeSignedPdf(dir);
        ASSERT_FALSE(input.empty()) << "openssl signs the test document";
        ASSERT_NE(signatureReport(input).find("Signature is Valid"), std::string::npos)
            << signatureReport(input);
        dir.write("lines.txt", "first line\nsecond line\n");
        dir.write("sticker.pdf", qm_test::makeStickerPdf());
        dir.write("logo.png",
                  qm_test::makePng({16, 16, 8, 2, false, 3}, std::string(768, '\x40'), ""));
        const std::string output = dir.file("out.pdf");
        std::vector<std::string> arguments = {"-i" + input, "-o" + output};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const ProgramResult run = runProgram(arguments, dir.path());
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(run.out.find(notice) != std::string::npos, c.noticeShown) << run.out;

        EXPECT_TRUE(startsWith(output, TempDir::read(input))) << "the input is a prefix";
        const std::string report = signatureReport(output);
        EXPECT_NE(report.find("Signature is Valid"), std::string::npos) << report;
        EXPECT_NE(report.find("Not total document signed"), std::string::npos) << report;
        std::string details;
        EXPECT_TRUE(tools::qpdfCheckClean(output, details)) << details;
        const std::vector<std::string> pages = tools::pdfTextPages(output, true);
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_NE(pages[0].find("Signed text"), std::string::npos) << pages[0];
        for (const std::string& stamp : c.stamps) {
            EXPECT_NE(pages[0].find(stamp), std::string::npos) << pages[0];
        }
    }
}

// A certification that allows no changes refuses the file, whether it is named in the
// catalog's /Perms or only in the signature; one that allows form filling is stamped.
TEST_F(SignedInputTest, CertificationThatAllowsNoChangesIsRefused) {
    struct Case {
        const char* name;
        std::string permission;
        std::string catalogExtra;
        int status;
    };
    const Case cases[] = {
        {"P 1 in /Perms", "/P 1", "/Perms << /DocMDP 5 0 R >>", 1},
        {"P 1 in the signature alone", "/P 1", "", 1},
        {"P 2", "/P 2", "/Perms << /DocMDP 5 0 R >>", 0},
        {"no P (2)", "", "/Perms << /DocMDP 5 0 R >>", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string input = makeSignedPdf(
            dir,
            "/Reference [<< /Type /SigRef /TransformMethod /DocMDP /TransformParams << /Type "
            "/TransformParams " +
                c.permission + " /V /1.2 >> >>]",
            c.catalogExtra);
        ASSERT_FALSE(input.empty());
        const std::string output = dir.file("out.pdf");
        const ProgramResult run = runProgram({"-i" + input, "-o" + output, "-quiet"});
        ASSERT_EQ(run.status, c.status) << run.out << run.err;
        if (c.status == 0) {
            EXPECT_NE(signatureReport(output).find("Signature is Valid"), std::string::npos);
            continue;
        }
        EXPECT_NE(run.out.find("Stamp file issue: '" + input + "'"), std::string::npos) << run.out;
        EXPECT_NE(run.err.find("PDF file is certified against changes: its certification "
                               "signature (object 5) allows no changes (/DocMDP /P 1)"),
                  std::string::npos)
            << run.err;
        EXPECT_FALSE(fs::exists(output));
    }
}

// Inputs of every kind of cross-reference take an update of their own kind whose /Prev leads
// to the input's last section; an output stamped again chains a second update after the first.
TEST(IncrementalUpdateTest, EveryKindOfInputChainsItsUpdates) {
    if (!tools::available("qpdf") || !tools::available("pdftotext")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    auto twoPages = [](qm_test::PdfBuilder& pdf) -> qm_test::PdfBuilder& {
        return pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
            .object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>")
            .object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>")
            .object(4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
    };
    struct Case {
        std::string name;
        std::string bytes; // a document written here, or
        std::string corpusFile;
        bool streamSection; // the input's last section is a cross-reference stream
    };
    std::vector<Case> cases;
    {
        qm_test::PdfBuilder pdf;
        twoPages(pdf).classicXRef();
        cases.push_back({"classic table", pdf.bytes(), "", false});
    }
    {
        qm_test::PdfBuilder pdf;
        twoPages(pdf).streamXRef();
        cases.push_back({"cross-reference stream", pdf.bytes(), "", true});
    }
    {
        qm_test::PdfBuilder pdf;
        pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
            .compressed(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>")
            .compressed(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>")
            .compressed(4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>")
            .objectStream(5)
            .streamXRef();
        cases.push_back({"pages in an object stream", pdf.bytes(), "", true});
    }
    {
        qm_test::PdfBuilder pdf;
        pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
            .object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>")
            .compressed(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>")
            .compressed(4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>")
            .objectStream(5)
            .hybridXRef();
        cases.push_back({"hybrid", pdf.bytes(), "", false});
    }
    {
        qm_test::PdfBuilder pdf;
        pdf.prefix("junk before the header\r\n");
        twoPages(pdf).classicXRef().object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 "
                                              "300 300] >>");
        pdf.classicXRef();
        cases.push_back({"junk before the header, updated once", pdf.bytes(), "", false});
    }
    for (const char* file : {"qpdf-tests/minimal-linearized.pdf", "qpdf-tests/incremental-3.pdf",
                             "qpdf-tests/hybrid-xref.pdf", "qpdf-tests/compress-objstm-xref.pdf",
                             "qpdf-tests/extra-header-lin-newline.pdf"}) {
        if (fs::exists(fs::path(QUILLMARK_CORPUS_DIR) / file)) {
            const bool stream = std::string(file).find("objstm-xref") != std::string::npos;
            cases.push_back({file, "", (fs::path(QUILLMARK_CORPUS_DIR) / file).string(), stream});
        }
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string input = c.bytes.empty() ? c.corpusFile : dir.write("in.pdf", c.bytes);
        const int pages = tools::qpdfPageCount(input);
        ASSERT_GT(pages, 0);
        std::string before = TempDir::read(input);
        std::string current = input;
        for (const std::string prefix : {"Page ", "Again "}) {
            const std::string output = dir.file(prefix + "out.pdf");
            const ProgramResult run = runProgram(
                {"-i" + current, "-o" + output, "-quiet", "-incremental", "-prefix", prefix});
            ASSERT_EQ(run.status, 0) << run.out << run.err;
            const std::string after = TempDir::read(output);
            ASSERT_EQ(after.compare(0, before.size(), before), 0) << "the input is a prefix";
            const std::string update = after.substr(before.size());
            EXPECT_EQ(update.find("/Type /XRef") != std::string::npos, c.streamSection) << update;
            EXPECT_EQ(update.find("trailer\n<<") != std::string::npos, !c.streamSection);
            std::string details;
            EXPECT_TRUE(tools::qpdfCheckClean(output, details)) << details;
            const std::vector<std::string> text = tools::pdfTextPages(output, true);
            ASSERT_EQ(text.size(), static_cast<size_t>(pages));
            for (int i = 0; i < pages; ++i) {
                const std::string number = std::to_string(i + 1) + " / " + std::to_string(pages);
                EXPECT_NE(text[i].find("Page " + number), std::string::npos) << text[i];
                EXPECT_EQ(text[i].find("Again " + number) != std::string::npos, prefix == "Again ")
                    << text[i];
            }
            before = after;
            current = output;
        }
    }
}

} // namespace
