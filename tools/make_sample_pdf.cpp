// make_sample_pdf: writes the small three-page document that the quick start stamps.
//
// Usage: make_sample_pdf <output.pdf>
//
// The file is built by hand, without any library: A4 pages, one line of Helvetica text
// on each, uncompressed content streams, a /Info dictionary and a classic
// cross-reference table whose offsets are counted while the file is written.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kPageCount = 3;
constexpr int kPageWidth = 595; // A4 in points
constexpr int kPageHeight = 842;

// Escapes the three characters that are special inside a PDF literal string.
std::string pdfLiteral(const std::string& text) {
    std::string out = "(";
    for (char c : text) {
        if (c == '(' || c == ')' || c == '\\')
            out += '\\';
        out += c;
    }
    out += ')';
    return out;
}

class SampleWriter {
  public:
    // Reserves object number n; objects may be written in any order.
    void beginObject(int number) {
        if (static_cast<size_t>(number) >= offsets_.size())
            offsets_.resize(number + 1, 0);
        offsets_[number] = data_.size();
        data_ += std::to_string(number) + " 0 obj\n";
    }
    void endObject() { data_ += "endobj\n"; }
    void append(const std::string& text) { data_ += text; }

    void writeStream(int number, const std::string& content) {
        beginObject(number);
        append("<< /Length " + std::to_string(content.size()) + " >>\nstream\n");
        append(content);
        append("\nendstream\n");
        endObject();
    }

    // Ends the file with the cross-reference table and the trailer.
    void finish(int rootNumber, int infoNumber) {
        size_t xrefOffset = data_.size();
        data_ += "xref\n0 " + std::to_string(offsets_.size()) + "\n";
        char line[32];
        std::snprintf(line, sizeof line, "%010u %05u f\r\n", 0u, 65535u);
        data_ += line;
        for (size_t i = 1; i < offsets_.size(); ++i) {
            std::snprintf(line, sizeof line, "%010lu %05u n\r\n",
                          static_cast<unsigned long>(offsets_[i]), 0u);
            data_ += line;
        }
        data_ += "trailer\n<< /Size " + std::to_string(offsets_.size()) + " /Root " +
                 std::to_string(rootNumber) + " 0 R /Info " + std::to_string(infoNumber) +
                 " 0 R >>\n";
        data_ += "startxref\n" + std::to_string(xrefOffset) + "\n%%EOF\n";
    }

    const std::string& data() const { return data_; }

  private:
    std::string data_;
    std::vector<size_t> offsets_;
};

std::string buildSample() {
    // Object numbers: 1 catalog, 2 page tree, 3 font, 4 info,
    // then per page i (0-based) the page 5 + 2i and its content 6 + 2i.
    SampleWriter w;
    // Header plus a comment of high bytes, so that tools treat the file as binary.
    w.append("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");

    w.beginObject(1);
    w.append("<< /Type /Catalog /Pages 2 0 R >>\n");
    w.endObject();

    w.beginObject(2);
    std::string kids;
    for (int i = 0; i < kPageCount; ++i) {
        if (i > 0)
            kids += ' ';
        kids += std::to_string(5 + 2 * i) + " 0 R";
    }
    w.append("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(kPageCount) +
             " /MediaBox [0 0 " + std::to_string(kPageWidth) + " " + std::to_string(kPageHeight) +
             "] >>\n");
    w.endObject();

    w.beginObject(3);
    w.append("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica"
             " /Encoding /WinAnsiEncoding >>\n");
    w.endObject();

    w.beginObject(4);
    w.append("<< /Title " + pdfLiteral("Quillmark sample") + " /Author " + pdfLiteral("Quillmark") +
             " /Creator " + pdfLiteral("make_sample_pdf") +
             " /CreationDate (D:20240101120000Z) >>\n");
    w.endObject();

    for (int i = 0; i < kPageCount; ++i) {
        int pageNumber = 5 + 2 * i;
        int contentNumber = pageNumber + 1;
        w.beginObject(pageNumber);
        w.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(kPageWidth) + " " +
                 std::to_string(kPageHeight) +
                 "] /Resources << /Font << /F1 3 0 R >> >> /Contents " +
                 std::to_string(contentNumber) + " 0 R >>\n");
        w.endObject();

        std::string line = "Quillmark sample document, sheet " + std::to_string(i + 1) + " of " +
                           std::to_string(kPageCount);
        std::string content = "BT\n/F1 18 Tf\n72 " + std::to_string(kPageHeight - 120) + " Td\n" +
                              pdfLiteral(line) + " Tj\nET";
        w.writeStream(contentNumber, content);
    }

    w.finish(1, 4);
    return w.data();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_sample_pdf <output.pdf>\n";
        return 2;
    }
    const std::string pdf = buildSample();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    if (!out) {
        std::cerr << "make_sample_pdf: cannot create '" << argv[1] << "'\n";
        return 1;
    }
    out.write(pdf.data(), static_cast<std::streamsize>(pdf.size()));
    out.close();
    if (!out) {
        std::cerr << "make_sample_pdf: cannot write '" << argv[1] << "'\n";
        return 1;
    }
    return 0;
}
