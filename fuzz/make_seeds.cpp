// make_fuzz_seeds: writes the seed inputs of the fuzz targets, small valid and broken inputs
// that reach the reader's main paths from the first run on (classic tables, cross-reference
// streams with and without predictors, object streams, updates, page trees; and the damage the
// reader must refuse cleanly).
//
// Usage: make_fuzz_seeds <folder>     (writes <folder>/fuzz_document/, fuzz_stamp/,
// fuzz_incremental/, fuzz_repair/, fuzz_syntax/, ...)
//
// The files are committed under fuzz/seeds/; run it again after changing it:
//   cmake --build build --target make_fuzz_seeds && build/make_fuzz_seeds fuzz/seeds

#include "support/ImageBuilder.h"
#include "support/PdfBuilder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qm_test::PdfBuilder;

using Seeds = std::vector<std::pair<std::string, std::string>>; // name, bytes

const char* const kCatalog = "<< /Type /Catalog /Pages 2 0 R >>";
const char* const kFont = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
const char* const kContent = "BT /F1 12 Tf 72 720 Td (Seed page) Tj ET";

std::string pageBody(int contents, const std::string& extra = "") {
    return "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 4 "
           "0 R >> >> /Contents " +
           std::to_string(contents) + " 0 R" + extra + " >>";
}

// Catalog 1, pages 2, page 3 with content 5 and font 4: the objects most seeds start from.
PdfBuilder& onePage(PdfBuilder& pdf, const std::string& pageExtra = "") {
    return pdf.object(1, kCatalog)
        .object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .object(3, pageBody(5, pageExtra))
        .object(4, kFont)
        .stream(5, "", kContent);
}

std::string classicOnePage() {
    PdfBuilder pdf;
    onePage(pdf).classicXRef();
    return pdf.bytes();
}

Seeds documentSeeds() {
    Seeds seeds;
    seeds.emplace_back("classic-one-page.pdf", classicOnePage());
    {
        PdfBuilder pdf;
        pdf.object(1, kCatalog)
            .object(2, "<< /Type /Pages /Kids [3 0 R 6 0 R 8 0 R] /Count 3 >>")
            .object(3, pageBody(5))
            .object(4, kFont)
            .stream(5, "", kContent, true)
            .object(6, pageBody(7, " /Rotate 90"))
            .stream(7, "", "BT /F1 10 Tf 50 50 Td (Two) Tj ET")
            .object(8, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /CropBox [10 10 585 "
                       "832] /Contents [5 0 R 7 0 R] /Resources << /Font << /F1 4 0 R >> >> >>")
            .object(9, "<< /Title (Seed) /Producer (make_fuzz_seeds) >>")
            .classicXRef({.trailerExtra = "/Info 9 0 R"});
        seeds.emplace_back("classic-three-pages-info.pdf", pdf.bytes());
    }
    {
        PdfBuilder pdf;
        pdf.object(1, kCatalog)
            .object(2, "<< /Type /Pages /Kids [6 0 R] /Count 2 /MediaBox [0 0 400 300] /Rotate "
                       "180 >>")
            .object(6, "<< /Type /Pages /Parent 2 0 R /Kids [3 0 R 7 0 R] /Count 2 >>")
            .object(3, "<< /Type /Page /Parent 6 0 R /Contents 5 0 R >>")
            .object(7, "<< /Type /Page /Parent 6 0 R /Rotate 270 >>")
            .object(4, kFont)
            .stream(5, "", kContent)
            .classicXRef();
        seeds.emplace_back("nested-tree-inherited.pdf", pdf.bytes());
    }
    {
        // Places that get objects of their own: a page listed again, a page written in /Kids,
        // and a node that lists its parent (left out).
        PdfBuilder pdf;
        pdf.object(1, kCatalog)
            .object(2, "<< /Type /Pages /Kids [3 0 R 6 0 R 3 0 R << /Type /Page /Parent 2 0 R "
                       "/Contents 5 0 R >>] /Count 4 /MediaBox [0 0 400 300] >>")
            .object(6, "<< /Type /Pages /Parent 2 0 R /Kids [3 0 R 2 0 R 6 0 R] /Count 1 >>")
            .object(3, pageBody(5))
            .object(4, kFont)
            .stream(5, "", kContent)
            .classicXRef();
        seeds.emplace_back("tree-places-of-their-own.pdf", pdf.bytes());
    }
    {
        PdfBuilder pdf;
        pdf.object(1, kCatalog).object(4, kFont).stream(5, "", kContent);
        pdf.compressed(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
            .compressed(3, pageBody(5))
            .objectStream(6)
            .streamXRef();
        seeds.emplace_back("xref-stream-object-stream.pdf", pdf.bytes());
    }
    {
        PdfBuilder pdf;
        onePage(pdf).streamXRef({.trailerExtra = "", .widths = {1, 2, 1}, .predictor = 12});
        seeds.emplace_back("xref-stream-png-up.pdf", pdf.bytes());
    }
    {
        PdfBuilder pdf;
        pdf.object(1, kCatalog).object(4, kFont).stream(5, "", kContent);
        pdf.compressed(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
            .compressed(3, pageBody(5))
            .objectStream(6, false)
            .hybridXRef();
        seeds.emplace_back("hybrid-xref.pdf", pdf.bytes());
    }
    {
        PdfBuilder pdf;
        onePage(pdf).classicXRef();
        pdf.object(3, pageBody(6)).stream(6, "", "BT /F1 9 Tf 10 10 Td (Update) Tj ET");
        pdf.classicXRef();
        seeds.emplace_back("incremental-update.pdf", pdf.bytes());
    }
    {
        PdfBuilder pdf;
        pdf.prefix("junk before the header\n");
        onePage(pdf).classicXRef();
        seeds.emplace_back("bytes-before-header.pdf", pdf.bytes());
    }
    // Damaged files: each must be refused or read without harm.
    {
        std::string bytes = classicOnePage();
        const size_t at = bytes.rfind("startxref\n");
        bytes.replace(at, std::string::npos, "startxref\n9999999\n%%EOF\n");
        seeds.emplace_back("broken-startxref.pdf", bytes);
    }
    {
        std::string bytes = classicOnePage();
        seeds.emplace_back("broken-truncated.pdf", bytes.substr(0, bytes.size() * 2 / 3));
    }
    {
        PdfBuilder pdf;
        onePage(pdf);
        pdf.rawSection("xref\n0 6\n0000000000 65535 f \nabcdefghij 00000 n \n"
                       "trailer\n<< /Size 6 /Root 1 0 R >>\n");
        seeds.emplace_back("broken-xref-row.pdf", pdf.bytes());
    }
    {
        PdfBuilder pdf;
        onePage(pdf).classicXRef();
        // The second section names itself as the previous one.
        const int64_t self = pdf.currentOffset();
        pdf.classicXRef({.trailerExtra = "/Prev " + std::to_string(self), .writePrev = false});
        seeds.emplace_back("broken-prev-loop.pdf", pdf.bytes());
    }
    {
        PdfBuilder pdf;
        onePage(pdf).classicXRef({.trailerExtra = "", .writeRoot = false});
        seeds.emplace_back("broken-no-root.pdf", pdf.bytes());
    }
    {
        PdfBuilder pdf;
        pdf.object(1, kCatalog)
            .object(2, "<< /Type /Pages /Kids [3 0 R 2 0 R] /Count 2000000000 >>")
            .object(3, pageBody(5))
            .object(4, kFont)
            .stream(5, "", kContent)
            .classicXRef();
        seeds.emplace_back("broken-count-cycle.pdf", pdf.bytes());
    }
    {
        PdfBuilder pdf;
        pdf.object(1, kCatalog).object(4, kFont).stream(5, "", kContent);
        pdf.compressed(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
            .compressed(3, pageBody(5))
            .objectStream(6, true, "/Extends 6 0 R")
            .streamXRef();
        std::string bytes = pdf.bytes();
        const size_t at = bytes.find("/First ");
        if (at != std::string::npos) {
            bytes.replace(at, 7, "/First -");
        }
        seeds.emplace_back("broken-object-stream-first.pdf", bytes);
    }
    {
        PdfBuilder pdf;
        pdf.object(1, kCatalog)
            .object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
            .object(3, pageBody(5))
            .object(4, kFont)
            .raw("5 0 obj\n<< /Length 6 0 R >>\nstream\nBT ET\nendstream\nendobj\n")
            .object(6, "5 0 R")
            .classicXRef();
        seeds.emplace_back("broken-length-reference.pdf", pdf.bytes());
    }
    {
        PdfBuilder pdf;
        onePage(pdf).object(6, "<< /Filter /Standard /V 1 /R 2 /O <00> /U <00> /P -4 >>");
        pdf.classicXRef({.trailerExtra = "/Encrypt 6 0 R /ID [<01> <01>]"});
        seeds.emplace_back("encrypted.pdf", pdf.bytes());
    }
    {
        PdfBuilder pdf;
        onePage(pdf).object(6, std::string(400, '[') + std::string(400, ']'));
        pdf.classicXRef({.trailerExtra = "/Info 6 0 R"});
        seeds.emplace_back("deep-nesting.pdf", pdf.bytes());
    }
    {
        PdfBuilder pdf;
        onePage(pdf).rawXRefStream(6, "/Type /XRef /Size 7 /Root 1 0 R /W [1 4]",
                                   std::string(20, '\xff'));
        seeds.emplace_back("broken-xref-stream-widths.pdf", pdf.bytes());
    }
    return seeds;
}

// Page dictionaries as the page rewrite reads them: plain ones of two shapes, and ones with
// strings, comments and nesting that the plain scan leaves to the token scans; page objects
// with the stream after them as the page-tree walk frames them, two of one shape apart.
Seeds syntaxSeeds() {
    return {
        {"page", "7 0 obj\n<< /Type /Page /Parent 5 0 R /Contents 6 0 R /Resources << /Font << "
                 "/F1 3 0 R >> /ProcSet [/PDF /Text] >> >>\nendobj\n"},
        {"compact", "<</Type/Page/MediaBox[0 0 612 792]/Resources<</Font<</F1 5 0 R>>/ExtGState"
                    "<</G0 6 0 R>>>>/Contents[7 0 R 8 0 R]>>"},
        {"odd", "<< /Resources << (>>) /Font 4 0 R >> %c\n/Contents 5\n0 R /Annots [<< /A "
                "<41> >>] >>"},
        {"page-objects", std::string("7 0 obj\n<< /Type /Page /Parent 5 0 R /MediaBox [0 0 612 "
                                     "792] /Rotate 90 /Contents 8 0 R >>\nendobj\n8 0 obj\n<< "
                                     "/Length 44 >>\nstream\nBT\n") +
                             '\0' +
                             "1234 0 obj\n<< /Type /Page /Parent 5 0 R /MediaBox [0 0 612 "
                             "792] /Rotate 90 /Contents 1235 0 R >>\nendobj\n1235 0 obj\n<< "
                             "/Length 1044 >>\nstream\nBT\n"},
    };
}

// The entries of a catalog and of the root node for fuzz_tree_copy (its first byte: odd for an
// update; a zero byte between the two): the plain tree, and the shapes damage leaves behind.
Seeds treeCopySeeds() {
    using namespace std::string_literals;
    return {
        {"plain", "\0/Pages 2 0 R\0/Kids [3 0 R 6 0 R] /Count 2"s},
        {"plain-update", "\1/Pages 2 0 R\0/Kids [3 0 R 6 0 R] /Count 2"s},
        {"endobj-in-strings",
         "\0/Lang (en endobj) /Pages 2 0 R\0/T (endobj) /Kids [3 0 R] /Count 1"s},
        {"stray-endobj", "\1endobj /Pages 2 0 R\0/Kids [3 0 R endobj 6 0 R] endobj /Count 2"s},
        {"keys-twice", "\0/Pages 9 0 R /Pages 2 0 R\0/Kids [9 0 R] /Count 5 /Kids [6 0 R 3 0 R] "
                       "/Count 2 /Rotate 90 /Rotate 180"s},
        {"own-node", "\1/Pages 2 0 R\0/Kids [3 0 R 2 0 R 6 0 R 3 0 R] /Count 3"s},
        {"stray-closers",
         "\0/Pages 2 0 R ) }\0/Kids [3 0 R >> 6 0 R] ] /Count 2 /MediaBox [0 0 9 9"s},
    };
}

// Content streams' heads as the page rewrite judges them, several in a row (a zero byte between
// two): of one shape with other numbers, and of shapes the check refuses.
Seeds streamHeadSeeds() {
    using namespace std::string_literals;
    return {
        {"one-form", "520 0 obj\n<< /Length 584 >>\nstream\n\0"
                     "522 0 obj\n<< /Length 601 >>\nstream\n\0"
                     "5240 0 obj\n<< /Length 61 >>\nstream\n"s},
        {"entries", "12 0 obj<</Filter/FlateDecode/Length 1234/DecodeParms[<</K 1>>]>>stream\0"
                    "13 0 obj\r\n<< /Length 7 0 R /Filter [/A85 /Fl] >>\r\nstream\r\n"s},
        {"refused", "9 0 obj\n<< /Length 5 /S (a) >>\nstream\0"
                    "9 0 obj\n<< /Xobj 5 >>\nstream\0"
                    "9 0 obj\n<< /Length 5 >>\nstreaX\0"
                    "9 0 obj\n<< /Length 5 ] >>\nstream"s},
    };
}

Seeds parserSeeds() {
    return {
        {"dictionary", "<< /Type /Page /Count 3 /Kids [1 0 R 2 0 R] /Open true /None null >>"},
        {"numbers", "0 -17 +4 3.25 -.5 4. 2147483647 2147483648 -2147483649 1e5 00012"},
        {"strings", "(plain) (nested (paren) text) (esc \\n\\r\\t\\b\\f\\(\\)\\\\ \\101\\7) "
                    "(line\\\ncontinued) <48656C6C6F> <4 8 6> <ABC>"},
        {"names",
         "/Name /A#20B /#41#42 /With.Dots-and_dashes / /Bad#G1 /Long" + std::string(200, 'x')},
        {"references", "[1 0 R 12 3 R 0 0 R -1 0 R 5 R 7 65535 R]"},
        {"indirect-objects", "1 0 obj\n<< /A 1 >>\nendobj\n2 0 obj\n[1 2 3]\nendobj\n"},
        {"stream", "3 0 obj\n<< /Length 11 >>\nstream\nhello world\nendstream\nendobj\n"},
        {"stream-length-wrong",
         "3 0 obj\n<< /Length 9999 >>\nstream\nshort\nendstream\nendobj\n4 0 obj 1 endobj"},
        {"comments", "% a comment\n<< /A % inside\n 1 >> %end\r\n[ %x\n ]"},
        {"keywords", "true false null obj endobj stream endstream R xref trailer startxref"},
        {"unbalanced", "<< /A [1 2 << /B (open"},
        {"stray-delimiters", ">> ] ) } { > <<>> [] () <>"},
        {"deep-arrays", std::string(600, '[') + std::string(600, ']')},
        {"deep-dictionaries",
         [] {
             std::string text;
             for (int i = 0; i < 300; ++i) {
                 text += "<< /K ";
             }
             return text + std::string(300 * 3, '>');
         }()},
        {"binary", std::string("\x00\x01\xff\xfe<<\x80/\x90(\x00)>>", 16)},
    };
}

// Four parameter bytes (predictor choice with bit 7 "compress here", columns, colours, bits)
// and the data, as fuzz_flate reads them.
std::string flateSeed(unsigned char predictor, unsigned char columns, unsigned char colors,
                      unsigned char bits, const std::string& data) {
    std::string out;
    out += static_cast<char>(predictor);
    out += static_cast<char>(columns);
    out += static_cast<char>(colors);
    out += static_cast<char>(bits);
    return out + data;
}

Seeds flateSeeds() {
    const std::string text = "BT /F1 12 Tf 72 720 Td (Flate seed text, repeated) Tj ET\n";
    std::string rows; // PNG rows of 4 bytes, one of each filter type 0 to 4
    for (int row = 0; row < 10; ++row) {
        rows += static_cast<char>(row % 5);
        for (int i = 0; i < 4; ++i) {
            rows += static_cast<char>(row * 7 + i * 3);
        }
    }
    std::string tiff(64, '\0');
    for (size_t i = 0; i < tiff.size(); ++i) {
        tiff[i] = static_cast<char>(i * 5);
    }
    const std::string packedText = PdfBuilder::deflate(text + text + text);
    Seeds seeds;
    // Selector = index into the harness's predictor list: 0 none, 1 TIFF, 2 to 7 PNG, 8 and 9
    // values no filter knows.
    const char* const names[] = {"none",    "tiff",      "png-none",    "png-sub",   "png-up",
                                 "png-avg", "png-paeth", "png-optimum", "unknown-3", "zero"};
    for (unsigned char selector = 0; selector < 10; ++selector) {
        const std::string& data = selector == 1 ? tiff : rows;
        seeds.emplace_back(std::string("compress-here-") + names[selector],
                           flateSeed(0x80 | selector, 4, 1, 3, data));
    }
    seeds.emplace_back("packed-text", flateSeed(0, 0, 0, 3, packedText));
    seeds.emplace_back("packed-png-rows", flateSeed(4, 3, 0, 3, PdfBuilder::deflate(rows)));
    seeds.emplace_back("tiff-rgb-16bit", flateSeed(0x81, 2, 2, 4, tiff));
    seeds.emplace_back("tiff-1bit", flateSeed(0x81, 63, 0, 0, tiff));
    seeds.emplace_back("truncated", flateSeed(0, 0, 0, 3, packedText.substr(0, 12)));
    seeds.emplace_back("bad-header", flateSeed(0, 0, 0, 3, "\x78\x01garbage that is no zlib"));
    seeds.emplace_back("bad-checksum", [&] {
        std::string bytes = packedText;
        bytes[bytes.size() - 1] ^= 0x55;
        return flateSeed(0, 0, 0, 3, bytes);
    }());
    return seeds;
}

bool writeSeeds(const fs::path& folder, const Seeds& seeds) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        std::cerr << "make_fuzz_seeds: cannot create " << folder << ": " << error.message() << '\n';
        return false;
    }
    for (const auto& [name, bytes] : seeds) {
        std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::cerr << "make_fuzz_seeds: cannot write " << (folder / name) << '\n';
            return false;
        }
    }
    std::cout << folder.string() << ": " << seeds.size() << " seeds\n";
    return true;
}

} // namespace

// Damaged files for the rebuild of the table: each document cut before its last
// cross-reference section (a truncated download), and with bytes inserted after its header.
Seeds repairSeeds(const Seeds& documents) {
    Seeds seeds;
    for (const auto& [name, bytes] : documents) {
        const size_t table = bytes.rfind("\nxref");
        const size_t stream = bytes.rfind("/Type /XRef");
        if (stream != std::string::npos && (table == std::string::npos || stream > table)) {
            seeds.emplace_back("cut-" + name, bytes.substr(0, bytes.rfind("obj", stream)));
        } else if (table != std::string::npos) {
            seeds.emplace_back("cut-" + name, bytes.substr(0, table + 1));
        }
        const size_t line = bytes.find('\n');
        if (line != std::string::npos) {
            std::string shifted = bytes;
            shifted.insert(line + 1, "% inserted\n");
            seeds.emplace_back("shifted-" + name, shifted);
        }
    }
    return seeds;
}

// Inputs of the decryption target: /Encrypt dictionary, first /ID string, password and an
// object's text, separated by zero bytes. The dictionaries are those qpdf writes for RC4 40,
// AES-128 (both with the owner password "owner" and an empty user password) and AES-256 (user
// password "user").
Seeds decryptSeeds() {
    auto hexBytes = [](std::string_view hex) {
        std::string out;
        for (size_t i = 0; i + 1 < hex.size(); i += 2) {
            out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
        }
        return out;
    };
    auto seed = [&](std::string_view dict, std::string_view id, std::string_view password,
                    std::string_view object) {
        std::string bytes(dict);
        bytes += '\0';
        bytes += hexBytes(id);
        bytes += '\0';
        bytes += password;
        bytes += '\0';
        bytes += object;
        return bytes;
    };
    const std::string rc4 =
        "<< /Filter /Standard /Length 40 /O "
        "<c92422687facee686e373f10b5c7d04738053152f7e2ee30e11c69ec442576ab> /P -4 /R 2 /U "
        "<1a5fd1041bda4022b6e790752b1be8d3a269e8da893e6c3ae5b0da237c88ec49> /V 1 >>";
    const std::string aes128 =
        "<< /CF << /StdCF << /AuthEvent /DocOpen /CFM /AESV2 /Length 16 >> >> /Filter /Standard "
        "/Length 128 /O <566fa873ee33c797cd3b904fdadf814afa34df9a38f6ed41b984e2c6da2aa6f5> /P -4 "
        "/R 4 /StmF /StdCF /StrF /StdCF /U "
        "<7dd06697eab78d4fa929ee5279dd32560122456a91bae5134273a6db134c87c4> /V 4 >>";
    const std::string aes256 =
        "<< /CF << /StdCF << /AuthEvent /DocOpen /CFM /AESV3 /Length 32 >> >> /Filter /Standard "
        "/Length 256 /O <6eb805ade636fcd9ced8c2aa70df132e89238c9d5914faa74a114fa38b343b2849814ab7"
        "cc1aaec082c1a900bf890429> /OE "
        "<36a86ccdba598c2d17fed810a6bd3ab95d3ce4296e81e87f43fadf0b1797d174> /P -4 /Perms "
        "<c8eb876c335b6c7a4c239a528860e963> /R 6 /StmF /StdCF /StrF /StdCF /U "
        "<baa90693bf4bdc7c379980371a298f6d07aa195c46c3ca36042e8b492697537dd57487a1ffee3ee11a327127"
        "bfd35f6a> /UE <590b37ce64ef135067ea586f8922398e36f96666b59c9e66f3a80cddde8196d2> /V 5 >>";
    const std::string page =
        "5 0 obj\n<< /Type /Page /T (a \\(b\\) c\\101) /V <0102030405060708090a0b0c0d0e0f1011> "
        "/Contents (x) /K [(y) <7a>] >>\nendobj\n";
    const std::string stream = "5 0 obj\n<< /Length 32 /Type /Sig /Contents <00ff> >>\nstream\n"
                               "0123456789abcdef0123456789abcdef\nendstream\nendobj\n";
    return {
        {"rc4-40-page", seed(rc4, "263803e504a8bad1a7ee323f39cbd4eb", "", page)},
        {"rc4-40-owner-stream", seed(rc4, "263803e504a8bad1a7ee323f39cbd4eb", "owner", stream)},
        {"aes128-page", seed(aes128, "58719e45581631dbaf388fdffaa9acc5", "", page)},
        {"aes128-stream", seed(aes128, "58719e45581631dbaf388fdffaa9acc5", "owner", stream)},
        {"aes256-user-page", seed(aes256, "a6706663a57df9358dc30b126ffaa037", "user", page)},
        {"aes256-owner-stream", seed(aes256, "a6706663a57df9358dc30b126ffaa037", "owner", stream)},
        {"pubsec", seed("<< /Filter /Adobe.PubSec /V 4 /R 4 >>", "01", "", page)},
    };
}

// Image files of each kind the picture readers take, and a few they refuse: PNG of every colour
// type (interlaced, with a palette and its transparency, 16-bit with alpha), JPEG heads of each
// coding and colour count.
Seeds imageSeeds() {
    using qm_test::PngLayout;
    std::string ramp;
    for (int i = 0; i < 16 * 16 * 8; ++i) {
        ramp += static_cast<char>(i * 7);
    }
    const std::string palette = qm_test::pngChunk("PLTE", std::string("\xff\0\0\0\xff\0", 6)) +
                                qm_test::pngChunk("tRNS", std::string("\x40", 1));
    const std::string density =
        qm_test::pngChunk("pHYs", std::string("\0\0\x0b\x13\0\0\x0b\x13\x01", 9));
    std::string badCrc = qm_test::makePng(PngLayout{4, 4, 8, 0, false, 1}, ramp.substr(0, 16), "");
    badCrc[20] ^= 1;
    const std::string jfif =
        qm_test::jpegSegment(0xE0, std::string("JFIF\0\x01\x02\x01\0\x48\0\x48\0\0", 14));
    const std::string adobe =
        qm_test::jpegSegment(0xEE, std::string("Adobe\0\x64\0\0\0\0\x02", 12));
    return {
        {"png-grey8",
         qm_test::makePng(PngLayout{16, 16, 8, 0, false, 1}, ramp.substr(0, 256), density)},
        {"png-rgb8-interlaced",
         qm_test::makePng(PngLayout{16, 16, 8, 2, true, 3}, ramp.substr(0, 768), "")},
        {"png-rgba16", qm_test::makePng(PngLayout{8, 8, 16, 6, false, 8}, ramp.substr(0, 512), "")},
        {"png-greyalpha8-interlaced",
         qm_test::makePng(PngLayout{9, 7, 8, 4, true, 2}, ramp.substr(0, 126), "")},
        {"png-palette2",
         qm_test::makePng(PngLayout{8, 4, 2, 3, false, 0}, ramp.substr(0, 8), palette)},
        {"png-bad-crc", badCrc},
        {"jpeg-grey", qm_test::makeJpeg(jfif + qm_test::jpegFrame(0xC0, 8, 16, 16, 1))},
        {"jpeg-rgb-progressive", qm_test::makeJpeg(qm_test::jpegFrame(0xC2, 8, 600, 800, 3))},
        {"jpeg-cmyk-adobe", qm_test::makeJpeg(adobe + qm_test::jpegFrame(0xC1, 8, 5, 4, 4))},
        {"jpeg-arithmetic", qm_test::makeJpeg(qm_test::jpegFrame(0xC9, 8, 5, 4, 1))},
    };
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_fuzz_seeds <folder>\n";
        return 2;
    }
    const fs::path root = argv[1];
    const Seeds documents = documentSeeds();
    const bool written = writeSeeds(root / "fuzz_document", documents) &&
                         writeSeeds(root / "fuzz_stamp", documents) &&
                         writeSeeds(root / "fuzz_incremental", documents) &&
                         writeSeeds(root / "fuzz_repair", repairSeeds(documents)) &&
                         writeSeeds(root / "fuzz_parser", parserSeeds()) &&
                         writeSeeds(root / "fuzz_syntax", syntaxSeeds()) &&
                         writeSeeds(root / "fuzz_stream_head", streamHeadSeeds()) &&
                         writeSeeds(root / "fuzz_flate", flateSeeds()) &&
                         writeSeeds(root / "fuzz_decrypt", decryptSeeds()) &&
                         writeSeeds(root / "fuzz_image", imageSeeds()) &&
                         writeSeeds(root / "fuzz_tree_copy", treeCopySeeds());
    return written ? 0 : 1;
}
