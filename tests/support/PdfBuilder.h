#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qm_test {

// What a cross-reference section of a PdfBuilder writes. The defaults give an ordinary file;
// designated initializers pick the rest, in declaration order:
// pdf.classicXRef({.trailerExtra = "/Info 4 0 R"}); pdf.streamXRef({.trailerExtra = "", .writeRoot
// = false}) (name trailerExtra first, or -Wextra warns of the fields left out).
struct XRefSection {
    std::string trailerExtra; // text put inside the trailer (or xref stream) dictionary
    int root = -1;            // /Root number (generation 0); -1: the builder's root()
    bool writeRoot = true;    // false: no /Root entry
    bool writeSize = true;    // false: no /Size entry (classic tables only)
    bool writePrev = true;    // false: no automatic /Prev (put your own in trailerExtra)
    bool listAll = false;     // list every object so far, not only this section's
    // Cross-reference streams only:
    int streamNumber = 0;               // object number of the xref stream; 0: the next free one
    std::array<int, 3> widths{1, 4, 2}; // /W
    bool deflate = true;                // /Filter /FlateDecode
    int predictor = 0;                  // 0 none, 12: PNG Up rows (/DecodeParms)
    bool writeIndex = true;             // /Index when the section does not list 0 to Size - 1
};

// Lays out a PDF file in memory for tests, in the order the calls are made:
//
//     qm_test::PdfBuilder pdf;
//     pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>")
//        .object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
//        .object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>")
//        .classicXRef();                       // table, trailer (/Size, /Root 1 0 R), startxref
//     std::string bytes = pdf.bytes();         // or pdf.writeTo(path)
//
// Objects are written at once ("N G obj\n<body>\nendobj\n"); each section (classicXRef,
// streamXRef, hybridXRef) lists the objects written since the previous section (the first
// section lists every object, with free rows for the gaps) and, from the second section on,
// names the previous one in /Prev: an incremental update is simply more objects and another
// section. Offsets count from the "%PDF-" header, also when bytes are put before it (prefix).
class PdfBuilder {
  public:
    using Section = XRefSection;

    // Bytes before "%PDF-" (junk that offsets do not count); call before anything else.
    PdfBuilder& prefix(std::string_view bytes);
    // The header line(s); default "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n". Call before any object.
    PdfBuilder& header(std::string_view text);
    // The object number used for /Root when a section does not say (default 1).
    PdfBuilder& root(int number);

    // An indirect object: "number generation obj\n" body "\nendobj\n".
    PdfBuilder& object(int number, std::string_view body, int generation = 0);
    // A stream object: "<< dictEntries /Length n [/Filter /FlateDecode] >>\nstream\n" data
    // "\nendstream". With deflate the data is compressed with zlib first.
    PdfBuilder& stream(int number, std::string_view dictEntries, std::string_view data,
                       bool deflate = false, int generation = 0);
    // An object to be stored in the next objectStream() (type 2 row).
    PdfBuilder& compressed(int number, std::string_view body);
    // Writes every pending compressed() object into object stream `number`
    // (/Type /ObjStm /N /First, optionally Flate-compressed, extra dictionary text).
    PdfBuilder& objectStream(int number, bool deflate = true, std::string_view extraDict = "");
    // Bytes appended as they are (a broken object, a comment, a second "startxref" ...).
    PdfBuilder& raw(std::string_view bytes);

    // A classic table ("xref", subsections, "trailer" dictionary) and "startxref" / "%%EOF".
    PdfBuilder& classicXRef(const Section& section = {});
    // A cross-reference stream object and "startxref" / "%%EOF".
    PdfBuilder& streamXRef(const Section& section = {});
    // A hybrid section: a cross-reference stream holding only the compressed (type 2) rows of
    // the section, then a classic table of the other rows whose trailer names it in /XRefStm.
    PdfBuilder& hybridXRef(const Section& section = {});
    // Only "startxref\n<offset>\n%%EOF\n" (for hand-made sections written with raw()).
    PdfBuilder& startxref(int64_t offset);
    // A hand-made newest section: the bytes as they are, then startxref naming their start.
    PdfBuilder& rawSection(std::string_view bytes);
    // A hand-made cross-reference stream, object `number` with the dictionary entries and rows
    // as given (not compressed), then startxref naming it.
    PdfBuilder& rawXRefStream(int number, std::string_view dictEntries, std::string_view rows);

    // Offset of the object's "N G obj" from the header (-1 when it was not written).
    int64_t offsetOf(int number) const;
    // Offset of the most recent section ("xref" keyword or xref stream object).
    int64_t lastXRefOffset() const { return lastXRef_; }
    // Offset, from the header, at which the next bytes will be written.
    int64_t currentOffset() const { return static_cast<int64_t>(body_.size()); }
    // Largest object number used so far, plus one.
    int nextNumber() const;
    // The file: prefix, header and everything written so far.
    std::string bytes() const;
    // Writes bytes() to a file; false when it cannot be written.
    bool writeTo(const std::string& path) const;

    // A catalog (1), a page-tree root (2) and `pages` pages, each with its own content stream
    // ("Sheet n") and an inline font dictionary: a page and its stream per page from object 3.
    // No table yet.
    static PdfBuilder simpleDocument(int pages);

    // zlib-compressed data (default level), as a FlateDecode stream holds it.
    static std::string deflate(std::string_view data);
    // One row of a classic table: "oooooooooo ggggg n" and the line end.
    static std::string tableRow(int64_t offset, int generation = 0, char type = 'n',
                                std::string_view end = " \n");
    // One row of a cross-reference stream: each field big-endian in its width (/W).
    static std::string xrefStreamRow(int type, uint64_t second, uint64_t third,
                                     const std::array<int, 3>& widths = {1, 2, 1});

  private:
    struct Row {
        int type = 1;       // 1 in the file, 2 in an object stream
        int64_t field2 = 0; // offset, or object stream number
        int field3 = 0;     // generation, or index in the object stream
    };

    void ensureHeader();
    void record(int number, const Row& row);
    // Rows listed by the section being written: this section's, or all of them.
    std::map<int, Row> sectionRows(const Section& section) const;
    std::string trailerEntries(const Section& section, int size) const;
    void writeTable(const std::map<int, Row>& rows, const Section& section, int size,
                    const std::string& extra);
    int64_t writeStream(const std::map<int, Row>& rows, const Section& section, int size,
                        bool withPrev, bool full);
    void finishSection(int64_t xrefOffset);

    std::string prefix_;
    std::string header_ = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
    bool headerWritten_ = false;
    std::string body_; // from the header on
    int root_ = 1;
    std::map<int, Row> all_;     // every row written so far
    std::map<int, Row> pending_; // rows since the last section
    std::vector<std::pair<int, std::string>> compressed_;
    int64_t lastXRef_ = -1;
    int sections_ = 0;
};

} // namespace qm_test
