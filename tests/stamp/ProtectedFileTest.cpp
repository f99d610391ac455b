// Protected (encrypted) inputs, made here with qpdf --encrypt from a clean two-page document:
// the stamped output opens with the same password as the input, is still encrypted with the
// same revision, shows the stamp and the page's own text on every page, keeps the page's own
// strings readable, and begins with every byte of the input. Files that need a password not
// given, a wrong password, or permissions that allow no changes are refused with their cause.
#include "support/ExternalTools.h"
#include "support/PdfBuilder.h"
#include "support/ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Two pages with text of their own; the first carries a note whose text is a string of the
// page object, which the stamp's rewrite of the page has to encrypt again. With metadata, the
// catalog names a metadata stream.
std::string makeInput(const TempDir& dir) {
    qm_test::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R /Metadata 8 0 R >>")
        .object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>")
        .object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 5 0 R "
                   "/Resources << /Font << /F1 7 0 R >> >> /Annots [<< /Type /Annot /Subtype "
                   "/Text /Rect [0 0 20 20] /Contents (Note \\(one\\) text) >>] >>")
        .object(4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 6 0 R "
                   "/Resources << /Font << /F1 7 0 R >> >> >>")
        .stream(5, "", "BT /F1 24 Tf 72 700 Td (First own text) Tj ET", true)
        .stream(6, "", "BT /F1 24 Tf 72 700 Td (Second own text) Tj ET", true)
        .object(7, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
        .stream(8, "/Type /Metadata /Subtype /XML", "<x:xmpmeta>clear metadata</x:xmpmeta>")
        .object(9, "<< /Title (Protected sample) >>")
        .classicXRef({.trailerExtra = "/Info 9 0 R"});
    return dir.write("plain.pdf", pdf.bytes());
}

// makeInput's document protected by qpdf with the options of its --encrypt (user, owner, bits
// and more) and its own options before them, as protected.pdf in the folder; "" when qpdf
// fails.
std::string makeProtected(const TempDir& dir, const std::vector<std::string>& qpdfOptions,
                          const std::vector<std::string>& encrypt) {
    const std::string plain = makeInput(dir);
    const std::string output = dir.file("protected.pdf");
    std::vector<std::string> make = {"qpdf"};
    make.insert(make.end(), qpdfOptions.begin(), qpdfOptions.end());
    make.push_back("--encrypt");
    make.insert(make.end(), encrypt.begin(), encrypt.end());
    make.insert(make.end(), {"--", plain, output});
    return tools::run(make).status == 0 ? output : std::string();
}

std::vector<std::string> withPassword(std::vector<std::string> words, const std::string& password) {
    if (!password.empty()) {
        words.insert(words.begin() + 1, "--password=" + password);
    }
    return words;
}

// The protected file with an update appended that writes its encryption dictionary again with
// encryptEntries put in front and a trailer with trailerEntries put in front: keys given twice,
// whose last value is the one in force for every reader.
std::string withKeysGivenTwice(const std::string& bytes, const std::string& encryptEntries,
                               const std::string& trailerEntries) {
    const size_t trailerAt = bytes.rfind("trailer");
    const size_t startxrefAt = bytes.rfind("startxref");
    if (trailerAt == std::string::npos || startxrefAt == std::string::npos) {
        return {};
    }
    const size_t trailerStart = bytes.find("<<", trailerAt);
    const size_t trailerEnd = bytes.rfind(">>", startxrefAt);
    const size_t encryptAt = bytes.find("/Encrypt ", trailerAt);
    if (trailerStart == std::string::npos || trailerEnd == std::string::npos ||
        encryptAt == std::string::npos) {
        return {};
    }
    const int number = std::stoi(bytes.substr(encryptAt + 9, 10));
    std::string header = "\n";
    header += std::to_string(number) + " 0 obj";
    const size_t objectAt = bytes.find(header);
    const size_t dictStart = bytes.find("<<", objectAt);
    const size_t endobj = bytes.find("endobj", dictStart);
    if (objectAt == std::string::npos || dictStart == std::string::npos ||
        endobj == std::string::npos) {
        return {};
    }
    const std::string previous = std::to_string(std::stoll(bytes.substr(startxrefAt + 9, 20)));
    std::string out = bytes;
    const size_t objectOffset = out.size();
    out += std::to_string(number);
    out += " 0 obj\n<< ";
    out += encryptEntries;
    out += " ";
    out += bytes.substr(dictStart + 2, endobj - dictStart - 2);
    out += "endobj\n";
    const size_t xrefOffset = out.size();
    out += "xref\n0 1\n0000000000 65535 f \n";
    out += std::to_string(number);
    out += " 1\n";
    out += qm_test::PdfBuilder::tableRow(static_cast<int64_t>(objectOffset));
    out += "trailer\n<< ";
    out += trailerEntries;
    out += " /Prev ";
    out += previous;
    out += bytes.substr(trailerStart + 2, trailerEnd - trailerStart);
    out += "\nstartxref\n";
    out += std::to_string(xrefOffset);
    out += "\n%%EOF\n";
    return out;
}

class ProtectedFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* tool : {"qpdf", "pdftotext"}) {
            if (!tools::available(tool)) {
                GTEST_SKIP() << tools::kJudgesMissing;
            }
        }
    }
};

// Every kind of protection qpdf writes, with the empty user password and with a user
// password: the output is an update of the input that keeps its protection.
TEST_F(ProtectedFileTest, StampedOutputKeepsTheProtection) {
    struct Case {
        const char* name;
        std::vector<std::string> qpdfOptions; // before --encrypt
        std::vector<std::string> encrypt;     // user, owner, bits and options
        std::vector<std::string> options;     // of the program
        std::string openPassword;             // what opens the output ("" when none is needed)
        const char* revision;
    };
    const Case cases[] = {
        {"RC4 40", {"--allow-weak-crypto"}, {"", "owner", "40"}, {}, "", "R = 2"},
        {"RC4 128", {"--allow-weak-crypto"}, {"", "owner", "128", "--use-aes=n"}, {}, "", "R = 3"},
        {"AES-128", {}, {"", "owner", "128", "--use-aes=y"}, {}, "", "R = 4"},
        {"AES-128, object streams",
         {"--object-streams=generate"},
         {"", "owner", "128", "--use-aes=y"},
         {},
         "",
         "R = 4"},
        {"AES-128, clear metadata",
         {},
         {"", "owner", "128", "--use-aes=y", "--cleartext-metadata"},
         {},
         "",
         "R = 4"},
        {"AES-256", {}, {"", "owner", "256"}, {}, "", "R = 6"},
        {"AES-256, object streams",
         {"--object-streams=generate"},
         {"", "owner", "256"},
         {},
         "",
         "R = 6"},
        {"AES-256 R5", {}, {"", "owner", "256", "--force-R5"}, {}, "", "R = 5"},
        {"user password given",
         {},
         {"user", "owner", "256"},
         {"-password", "user"},
         "user",
         "R = 6"},
        {"owner password given for a user password",
         {"--allow-weak-crypto"},
         {"user", "owner", "128", "--use-aes=n"},
         {"-password", "owner"},
         "user",
         "R = 3"},
        {"no changes permitted, -ignorepermissions",
         {},
         {"", "owner", "256", "--modify=none"},
         {"-ignorepermissions"},
         "",
         "R = 6"},
        {"no changes permitted, owner password",
         {},
         {"", "owner", "128", "--use-aes=y", "--modify=none"},
         {"-password", "owner"},
         "",
         "R = 4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string input = makeProtected(dir, c.qpdfOptions, c.encrypt);
        ASSERT_FALSE(input.empty());

        const std::string output = dir.file("out.pdf");
        std::vector<std::string> arguments = {"-i" + input, "-o" + output, "-quiet"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const ProgramResult run = runProgram(arguments, dir.path());
        ASSERT_EQ(run.status, 0) << run.out << run.err;

        const std::string inputBytes = TempDir::read(input);
        EXPECT_EQ(TempDir::read(output).compare(0, inputBytes.size(), inputBytes), 0)
            << "the input is a prefix of the output";
        // The output asks for a password exactly when the input did (exit 0: it needs one).
        EXPECT_EQ(tools::run({"qpdf", "--requires-password", output}).status,
                  c.openPassword.empty() ? 3 : 0);
        const tools::ToolResult check =
            tools::run(withPassword({"qpdf", "--check", output}, c.openPassword));
        EXPECT_EQ(check.status, 0) << check.out;
        EXPECT_EQ(check.out.find("WARNING"), std::string::npos) << check.out;
        const tools::ToolResult shown =
            tools::run(withPassword({"qpdf", "--show-encryption", output}, c.openPassword));
        EXPECT_NE(shown.out.find(c.revision), std::string::npos) << shown.out;
        // The rewritten first page still carries its note, readable with the file's key.
        const std::string clear = dir.file("clear.pdf");
        const tools::ToolResult decrypted = tools::run(
            withPassword({"qpdf", "--decrypt", "--qdf", "--object-streams=disable", output, clear},
                         c.openPassword));
        EXPECT_EQ(decrypted.status, 0) << decrypted.out;
        EXPECT_NE(TempDir::read(clear).find("/Contents (Note \\(one\\) text)"), std::string::npos)
            << "the note's text";

        std::vector<std::string> text = {"pdftotext", "-layout"};
        if (!c.openPassword.empty()) {
            text.insert(text.end(), {"-upw", c.openPassword});
        }
        for (int p = 1; p <= 2; ++p) {
            std::vector<std::string> words = text;
            words.insert(words.end(),
                         {"-f", std::to_string(p), "-l", std::to_string(p), output, "-"});
            const tools::ToolResult pageText = tools::run(words);
            EXPECT_NE(pageText.out.find("Page " + std::to_string(p) + " / 2"), std::string::npos)
                << "page " << p << ": " << pageText.out;
            EXPECT_NE(pageText.out.find(p == 1 ? "First own text" : "Second own text"),
                      std::string::npos)
                << pageText.out;
        }
    }
}

// What cannot be opened or may not be changed is refused before anything is written.
TEST_F(ProtectedFileTest, RefusesWhatItMayNotOpenOrChange) {
    struct Case {
        const char* name;
        std::vector<std::string> encrypt;
        std::vector<std::string> options;
        const char* cause;
    };
    const Case cases[] = {
        {"password needed",
         {"user", "owner", "256"},
         {},
         "PDF file needs a password: give it with -password"},
        {"password needed (RC4)",
         {"user", "owner", "128", "--use-aes=n"},
         {},
         "PDF file needs a password: give it with -password"},
        {"wrong password",
         {"user", "owner", "128", "--use-aes=y"},
         {"-password", "guess"},
         "PDF file password is wrong"},
        {"no changes permitted",
         {"", "owner", "256", "--modify=none"},
         {},
         "PDF file does not permit changes (permissions of its encryption); stamp it anyway "
         "with -ignorepermissions"},
        {"no changes permitted, user password given",
         {"user", "owner", "128", "--use-aes=y", "--modify=none"},
         {"-password", "user"},
         "PDF file does not permit changes (permissions of its encryption)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string input = makeProtected(dir, {"--allow-weak-crypto"}, c.encrypt);
        ASSERT_FALSE(input.empty());

        const std::string output = dir.file("out.pdf");
        std::vector<std::string> arguments = {"-i" + input, "-o" + output};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const ProgramResult run = runProgram(arguments, dir.path());
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.out.find("Stamp file issue: '" + input + "'"), std::string::npos) << run.out;
        EXPECT_NE(run.err.find(c.cause), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(output));
    }
}

// A key given twice takes its last value: a trailer whose /Encrypt is null first is protected,
// and stamped as such; a /P that permits changes before the one that does not is no
// permission.
TEST_F(ProtectedFileTest, KeysGivenTwiceTakeTheirLastValue) {
    struct Case {
        const char* name;
        std::vector<std::string> encrypt;
        const char* encryptEntries;
        const char* trailerEntries;
        const char* cause; // "" when it is stamped
    };
    const Case cases[] = {
        {"/Encrypt null before the trailer's own", {"", "owner", "256"}, "", "/Encrypt null", ""},
        {"/P permitting changes before one that does not",
         {"", "owner", "128", "--use-aes=y", "--modify=none"},
         "/P -4",
         "",
         "PDF file does not permit changes (permissions of its encryption)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string made = makeProtected(dir, {}, c.encrypt);
        ASSERT_FALSE(made.empty());
        const std::string twice =
            withKeysGivenTwice(TempDir::read(made), c.encryptEntries, c.trailerEntries);
        ASSERT_FALSE(twice.empty());
        const std::string input = dir.write("twice.pdf", twice);

        const std::string output = dir.file("out.pdf");
        const ProgramResult run = runProgram({"-i" + input, "-o" + output, "-quiet"}, dir.path());
        if (*c.cause != '\0') {
            EXPECT_EQ(run.status, 1);
            EXPECT_NE(run.err.find(c.cause), std::string::npos) << run.err;
            EXPECT_FALSE(fs::exists(output));
            continue;
        }
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_NE(tools::run({"qpdf", "--show-encryption", output}).out.find("R = 6"),
                  std::string::npos);
        const tools::ToolResult pageText =
            tools::run({"pdftotext", "-layout", "-f", "1", "-l", "1", output, "-"});
        EXPECT_NE(pageText.out.find("Page 1 / 2"), std::string::npos) << pageText.out;
        EXPECT_NE(pageText.out.find("First own text"), std::string::npos) << pageText.out;
    }
}

// A public-key handler cannot be opened with a password: refused with its name.
TEST_F(ProtectedFileTest, RefusesAnotherSecurityHandlerByName) {
    TempDir dir;
    qm_test::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>")
        .object(4, "<< /Filter /Adobe.PubSec /SubFilter /adbe.pkcs7.s5 /V 4 /R 4 >>")
        .classicXRef({.trailerExtra = "/Encrypt 4 0 R /ID [<01> <01>]"});
    const std::string input = dir.write("pubsec.pdf", pdf.bytes());
    const std::string output = dir.file("out.pdf");
    const ProgramResult run = runProgram({"-i" + input, "-o" + output});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("security handler /Adobe.PubSec"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(output));
}

} // namespace
