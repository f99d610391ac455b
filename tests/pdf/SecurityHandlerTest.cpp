// The standard security handler against files that qpdf encrypts: the file key it works out
// from each password is the key qpdf reports (--show-encryption-key), and the strings and
// streams it decrypts are the clear ones the file was made from, object streams and clear
// metadata included. Wrong passwords open nothing.
#include "ReaderTestUtil.h"
#include "pdf/CPdfSecurityHandler.h"
#include "support/ExternalTools.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

using namespace reader_test;

namespace {

constexpr const char* kTitle = "Title (with) \xC3\xA9 bytes";
constexpr const char* kContent = "BT /F1 12 Tf 72 700 Td (Clear content) Tj ET";
constexpr const char* kMetadata = "<x:xmpmeta>clear metadata</x:xmpmeta>";

std::string makePlain(const TempDir& dir) {
    qm_test::PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R /Metadata 5 0 R >>")
        .object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>")
        .stream(4, "", kContent, true)
        .stream(5, "/Type /Metadata /Subtype /XML", kMetadata)
        .object(6, "<< /Title (Title \\(with\\) \\303\\251 bytes) /Keywords [(a) <62>] >>")
        .classicXRef({.trailerExtra = "/Info 6 0 R"});
    return dir.write("plain.pdf", pdf.bytes());
}

std::string hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char c : bytes) {
        text += kDigits[c >> 4];
        text += kDigits[c & 15];
    }
    return text;
}

// The key qpdf reports for the file opened with password.
std::string qpdfKey(const std::string& path, const std::string& password) {
    const tools::ToolResult shown = tools::run(
        {"qpdf", "--password=" + password, "--show-encryption-key", "--show-encryption", path});
    const std::string label = "Encryption key = ";
    const size_t at = shown.out.find(label);
    if (at == std::string::npos) {
        return {};
    }
    const size_t end = shown.out.find('\n', at);
    return shown.out.substr(at + label.size(), end - at - label.size());
}

} // namespace

TEST(SecurityHandlerTest, KeysAndClearTextMatchWhatQpdfEncrypted) {
    if (!tools::available("qpdf")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    struct Case {
        const char* name;
        std::vector<std::string> encrypt; // bits and options after user and owner
        bool objectStreams;
        bool clearMetadata;
    };
    const Case cases[] = {
        {"RC4 40", {"40"}, false, false},
        {"RC4 128", {"128", "--use-aes=n"}, false, false},
        {"RC4 128, clear metadata", {"128", "--use-aes=n", "--cleartext-metadata"}, false, true},
        {"AES-128", {"128", "--use-aes=y"}, false, false},
        {"AES-128, object streams", {"128", "--use-aes=y"}, true, false},
        {"AES-128, clear metadata", {"128", "--use-aes=y", "--cleartext-metadata"}, false, true},
        {"AES-256 R6", {"256"}, false, false},
        {"AES-256 R6, object streams", {"256"}, true, false},
        {"AES-256 R5", {"256", "--force-R5"}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string plain = makePlain(dir);
        const std::string path = dir.file("protected.pdf");
        std::vector<std::string> make = {"qpdf", "--allow-weak-crypto"};
        if (c.objectStreams) {
            make.push_back("--object-streams=generate");
        }
        make.insert(make.end(), {"--encrypt", "user", "owner"});
        make.insert(make.end(), c.encrypt.begin(), c.encrypt.end());
        make.insert(make.end(), {"--", plain, path});
        ASSERT_EQ(tools::run(make).status, 0);
        const std::string expectedKey = qpdfKey(path, "user");
        ASSERT_FALSE(expectedKey.empty());
        EXPECT_EQ(qpdfKey(path, "owner"), expectedKey);

        struct Opening {
            const char* password;
            bool opens;
            bool owner;
        };
        for (const Opening& o : {Opening{"user", true, false}, Opening{"owner", true, true},
                                 Opening{"", false, false}, Opening{"User", false, false}}) {
            SCOPED_TRACE(std::string("password '") + o.password + "'");
            CPdfDocument document;
            document.setPassword(o.password);
            const std::string failure = errorOf([&] { document.open(path); });
            if (!o.opens) {
                EXPECT_NE(failure.find(*o.password ? "PDF file password is wrong"
                                                   : "PDF file needs a password"),
                          std::string::npos)
                    << failure;
                continue;
            }
            ASSERT_EQ(failure, "");
            CPdfXRef& xref = *document.getXRef();
            ASSERT_NE(xref.security(), nullptr);
            EXPECT_EQ(hex(xref.security()->fileKey()), expectedKey);
            EXPECT_EQ(xref.security()->ownerAccess(), o.owner);
            EXPECT_EQ(xref.security()->encryptsMetadata(), !c.clearMetadata);

            // qpdf numbers the objects anew: they are found from the trailer.
            const CPdfElement info = fetch(xref, xref.info().number);
            ASSERT_TRUE(info.is(ElementKind::Dictionary));
            CPdfElement title;
            info.getDictionary()->getEntry("Title", title);
            EXPECT_EQ(title.getText(), kTitle);
            CPdfElement keywords;
            info.getDictionary()->getEntry("Keywords", keywords);
            ASSERT_TRUE(keywords.is(ElementKind::Array));
            ASSERT_EQ(keywords.getArray()->getCount(), 2u);
            EXPECT_EQ(keywords.getArray()->getItem(0).getText(), "a");
            EXPECT_EQ(keywords.getArray()->getItem(1).getText(), "b");

            const CPdfElement root = fetch(xref, xref.root().number);
            ASSERT_TRUE(root.is(ElementKind::Dictionary));
            CPdfElement pages;
            root.getDictionary()->getEntry("Pages", pages);
            ASSERT_TRUE(pages.is(ElementKind::Dictionary));
            CPdfElement kids;
            pages.getDictionary()->getEntry("Kids", kids);
            ASSERT_TRUE(kids.is(ElementKind::Array));
            CPdfElement page;
            kids.getArray()->getItem(0).resolve(&xref, page);
            ASSERT_TRUE(page.is(ElementKind::Dictionary));
            CPdfElement content;
            page.getDictionary()->getEntry("Contents", content);
            ASSERT_TRUE(content.is(ElementKind::Stream));
            EXPECT_EQ(readAll(content.getStream()), kContent);
            CPdfElement metadata;
            root.getDictionary()->getEntry("Metadata", metadata);
            ASSERT_TRUE(metadata.is(ElementKind::Stream));
            EXPECT_EQ(readAll(metadata.getStream()), kMetadata);
        }
    }
}

// What the handler encrypts for an object its own decryption reads back, and qpdf too: a
// new stream object written with the object's key, its /Length set to the encrypted data.
TEST(SecurityHandlerTest, NewObjectsAreEncryptedWithTheirOwnKey) {
    if (!tools::available("qpdf")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    for (const char* bits : {"40", "128", "256"}) {
        SCOPED_TRACE(bits);
        TempDir dir;
        const std::string plain = makePlain(dir);
        const std::string path = dir.file("protected.pdf");
        ASSERT_EQ(tools::run({"qpdf", "--allow-weak-crypto", "--encrypt", "", "owner", bits, "--",
                              plain, path})
                      .status,
                  0);
        CPdfDocument document;
        document.open(path);
        const CPdfSecurityHandler& security = *document.getXRef()->security();
        const std::string text = "7 0 obj\n<< /Length 11 /Name (a\\)b) >>\nstream\nhello world"
                                 "\nendstream\nendobj\n";
        const std::string encrypted = security.encryptNewObject(7, 0, text);
        EXPECT_EQ(encrypted.find("hello world"), std::string::npos);
        EXPECT_EQ(encrypted.find("(a\\)b)"), std::string::npos);
        const CPdfElement object = parseOne(encrypted.substr(encrypted.find("<<")));
        ASSERT_TRUE(object.is(ElementKind::Stream));
        CPdfElement name;
        object.getStream()->getDict().getDictionary()->getEntry("Name", name);
        EXPECT_EQ(security.decrypt(false, 7, 0, name.getText()), "a)b");
        EXPECT_EQ(security.decrypt(true, 7, 0, readAll(object.getStream())), "hello world");
        // Under another object's key the bytes read as something else (AES-256 has one key
        // for every object).
        if (std::string(bits) != "256") {
            EXPECT_NE(security.decrypt(true, 8, 0, readAll(object.getStream())), "hello world");
        }
    }
}

// With AES-256, /P is also stored encrypted in /Perms: a /P changed after encryption to allow
// changes (same length, so that the table still fits) allows none, while a file encrypted to
// allow them still does.
TEST(SecurityHandlerTest, AES256PermissionsFollowTheirEncryptedCopy) {
    if (!tools::available("qpdf")) {
        GTEST_SKIP() << tools::kJudgesMissing;
    }
    struct Case {
        const char* name;
        std::vector<std::string> encrypt; // after the passwords
        bool editP;
        bool permitsChanges;
    };
    const Case cases[] = {
        {"R6 allowing changes", {"256"}, false, true},
        {"R6 allowing none", {"256", "--modify=none"}, false, false},
        {"R6 allowing none, /P changed", {"256", "--modify=none"}, true, false},
        {"R5 allowing none, /P changed", {"256", "--force-R5", "--modify=none"}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string plain = makePlain(dir);
        const std::string path = dir.file("protected.pdf");
        std::vector<std::string> make = {"qpdf", "--encrypt", "", "owner"};
        make.insert(make.end(), c.encrypt.begin(), c.encrypt.end());
        make.insert(make.end(), {"--", plain, path});
        ASSERT_EQ(tools::run(make).status, 0);
        if (c.editP) {
            std::string bytes = TempDir::read(path);
            const size_t at = bytes.find("/P ");
            ASSERT_NE(at, std::string::npos);
            const size_t start = at + 3;
            size_t end = start;
            while (end < bytes.size() && (bytes[end] == '-' || isdigit(bytes[end]))) {
                ++end;
            }
            const int64_t p = std::stoll(bytes.substr(start, end - start));
            ASSERT_EQ(p & 8, 0);
            std::string allowed = std::to_string(static_cast<int32_t>(p | 8));
            ASSERT_LE(allowed.size(), end - start);
            allowed.insert(0, end - start - allowed.size(), ' ');
            bytes.replace(start, end - start, allowed);
            dir.write("protected.pdf", bytes);
        }
        CPdfDocument document;
        ASSERT_EQ(errorOf([&] { document.open(path); }), "");
        ASSERT_NE(document.getXRef()->security(), nullptr);
        EXPECT_EQ(document.getXRef()->security()->permitsChanges(), c.permitsChanges);
    }
}
