#pragma once

// Small helpers shared by the reader tests: parse text, open a built file, fetch objects.

#include "pdf/CPdfArray.h"
#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfDocument.h"
#include "pdf/CPdfElement.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfMemoryStream.h"
#include "pdf/CPdfParser.h"
#include "pdf/CPdfStream.h"
#include "pdf/CPdfXRef.h"
#include "support/PdfBuilder.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace reader_test {

inline CPdfElement nullElement() {
    CPdfElement e;
    e.setNull();
    return e;
}

// Stream values read their data from the parsed text later on, so parsed texts live until
// the test program ends.
inline const std::string& keepText(const std::string& text) {
    static std::deque<std::string> texts;
    return texts.emplace_back(text);
}

// A parser over a text (kept alive: the memory stream does not own its bytes).
class TextParser {
  public:
    explicit TextParser(const std::string& text, CPdfXRef* xref = nullptr) {
        const std::string& kept = keepText(text);
        auto* source = new CPdfMemoryStream(reinterpret_cast<const unsigned char*>(kept.data()),
                                            kept.size(), 0, 0, nullElement());
        parser_ = std::make_unique<CPdfParser>(xref, source);
    }
    CPdfElement next() {
        CPdfElement e;
        parser_->parseObject(e);
        return e;
    }

  private:
    std::unique_ptr<CPdfParser> parser_;
};

// The first object of a text.
inline CPdfElement parseOne(const std::string& text) {
    return TextParser(text).next();
}

// Every object of a text up to the end of input.
inline std::vector<CPdfElement> parseAll(const std::string& text) {
    TextParser parser(text);
    std::vector<CPdfElement> out;
    for (int i = 0; i < 1000; ++i) {
        CPdfElement e = parser.next();
        if (e.is(ElementKind::EndOfInput)) {
            break;
        }
        out.push_back(e);
    }
    return out;
}

// Every byte a stream delivers.
inline std::string readAll(CPdfStream* stream, size_t limit = 1 << 24) {
    std::string out;
    for (int c = stream->getChar(); c >= 0 && out.size() < limit; c = stream->getChar()) {
        out.push_back(static_cast<char>(c));
    }
    return out;
}

// A document opened from built bytes, in a folder of its own.
class OpenedFile {
  public:
    explicit OpenedFile(const std::string& bytes) { path_ = folder_.write("test.pdf", bytes); }
    explicit OpenedFile(const qm_test::PdfBuilder& pdf) : OpenedFile(pdf.bytes()) {}
    // Opens the file; throws CPdfException as the document does.
    CPdfXRef& open() {
        document_.open(path_);
        return *document_.getXRef();
    }
    // The message of the CPdfException that opening throws, or of the failure that made the
    // reader rebuild the table from the whole file; "" when it opens as it is.
    std::string openError() {
        try {
            document_.open(path_);
        } catch (const CPdfException& e) {
            return e.getMessage();
        }
        return document_.getXRef()->repairMessage();
    }
    CPdfDocument& document() { return document_; }
    const std::string& path() const { return path_; }

  private:
    TempDir folder_;
    std::string path_;
    CPdfDocument document_;
};

inline CPdfElement fetch(CPdfXRef& xref, int number, int generation = 0) {
    CPdfElement out;
    xref.fetchObject(number, generation, out);
    return out;
}

// The message of the CPdfException that fn throws, or "" when it throws none.
template <class Fn> std::string errorOf(Fn&& fn) {
    try {
        fn();
    } catch (const CPdfException& e) {
        return e.getMessage();
    }
    return "";
}

// The text of an integer entry of a dictionary value (for short assertions).
inline int intEntry(const CPdfElement& dict, const char* key) {
    CPdfElement value;
    dict.getDictionary()->getRawEntry(key, value);
    return value.is(ElementKind::Integer) ? value.getInteger() : -999999;
}

// A minimal document: catalog 1, page tree 2, one page 3.
inline qm_test::PdfBuilder& basicObjects(qm_test::PdfBuilder& pdf) {
    return pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
}

// Rows of a cross-reference stream with /W [1 2 1]: the free row 0, an object at its offset in
// pdf, a member of an object stream.
inline std::string freeRow() {
    return qm_test::PdfBuilder::xrefStreamRow(0, 0, 255);
}
inline std::string fileRow(const qm_test::PdfBuilder& pdf, int number) {
    return qm_test::PdfBuilder::xrefStreamRow(1, static_cast<uint64_t>(pdf.offsetOf(number)), 0);
}
inline std::string memberRow(int stream, int index) {
    return qm_test::PdfBuilder::xrefStreamRow(2, static_cast<uint64_t>(stream),
                                              static_cast<uint64_t>(index));
}

// Object 1 and two members of object stream 4 (objects 2 and 3) and the stream itself, as a
// cross-reference stream with /W [1 2 1] and /Size 5 gives them; object 1 and 4 are read at
// their offsets in pdf.
inline std::string twoMemberStreamRows(const qm_test::PdfBuilder& pdf) {
    return freeRow() + fileRow(pdf, 1) + memberRow(4, 0) + memberRow(4, 1) + fileRow(pdf, 4);
}

// A cross-reference stream, object `number`, of such rows (its /Size is their count), and the
// startxref naming it.
inline qm_test::PdfBuilder& rowStream(qm_test::PdfBuilder& pdf, int number, const std::string& rows,
                                      int root = 1) {
    return pdf.rawXRefStream(number,
                             "/Type /XRef /Size " + std::to_string(rows.size() / 4) +
                                 " /W [1 2 1] /Root " + std::to_string(root) + " 0 R",
                             rows);
}

// The text of an object stream member as getCompressedObjectText gives it; none when it gives
// none.
inline std::optional<std::string> memberText(CPdfXRef& xref, int number) {
    const unsigned char* text = nullptr;
    size_t length = 0;
    if (!xref.getCompressedObjectText(number, text, length)) {
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(text), length);
}

// The message of what fetching object 4 throws ("" when nothing), in basicObjects followed by
// object 4 of the given body and a classic table.
inline std::string fetchError(const std::string& body) {
    qm_test::PdfBuilder pdf;
    basicObjects(pdf).object(4, body).classicXRef();
    OpenedFile file(pdf);
    CPdfXRef& xref = file.open();
    return errorOf([&] { fetch(xref, 4); });
}

// The open error of basicObjects followed by a newest section written by hand.
inline std::string sectionError(const std::string& section) {
    qm_test::PdfBuilder pdf;
    basicObjects(pdf).rawSection(section);
    return OpenedFile(pdf).openError();
}

// The open error of basicObjects followed by a cross-reference stream (object 4) of the given
// dictionary entries and data.
inline std::string xrefStreamError(const std::string& dict,
                                   const std::string& data = std::string(8, '\0')) {
    qm_test::PdfBuilder pdf;
    basicObjects(pdf).rawXRefStream(4, dict, data);
    return OpenedFile(pdf).openError();
}

} // namespace reader_test
