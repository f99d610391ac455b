#include "support/PdfBuilder.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <zlib.h>

namespace qm_test {

namespace {

std::string format(const char* pattern, long long a, long long b = 0) {
    char line[64];
    std::snprintf(line, sizeof line, pattern, a, b);
    return line;
}

// Consecutive runs of the keys of a map, as (first, count) pairs.
template <class Map> std::vector<std::pair<int, int>> runs(const Map& rows) {
    std::vector<std::pair<int, int>> out;
    for (const auto& [number, row] : rows) {
        (void)row;
        if (!out.empty() && out.back().first + out.back().second == number) {
            ++out.back().second;
        } else {
            out.emplace_back(number, 1);
        }
    }
    return out;
}

} // namespace

PdfBuilder& PdfBuilder::prefix(std::string_view bytes) {
    prefix_.assign(bytes);
    return *this;
}

PdfBuilder& PdfBuilder::header(std::string_view text) {
    header_.assign(text);
    return *this;
}

PdfBuilder& PdfBuilder::root(int number) {
    root_ = number;
    return *this;
}

void PdfBuilder::ensureHeader() {
    if (!headerWritten_) {
        body_.insert(0, header_);
        headerWritten_ = true;
    }
}

void PdfBuilder::record(int number, const Row& row) {
    all_[number] = row;
    pending_[number] = row;
}

PdfBuilder& PdfBuilder::object(int number, std::string_view body, int generation) {
    ensureHeader();
    record(number, Row{1, currentOffset(), generation});
    body_ += format("%lld %lld obj\n", number, generation);
    body_.append(body);
    body_ += "\nendobj\n";
    return *this;
}

PdfBuilder& PdfBuilder::stream(int number, std::string_view dictEntries, std::string_view data,
                               bool compress, int generation) {
    std::string bytes = compress ? deflate(data) : std::string(data);
    std::string body = "<< ";
    body.append(dictEntries);
    body += format(" /Length %lld", static_cast<long long>(bytes.size()));
    if (compress) {
        body += " /Filter /FlateDecode";
    }
    body += " >>\nstream\n" + bytes + "\nendstream";
    return object(number, body, generation);
}

PdfBuilder& PdfBuilder::compressed(int number, std::string_view body) {
    compressed_.emplace_back(number, std::string(body));
    return *this;
}

PdfBuilder& PdfBuilder::objectStream(int number, bool compress, std::string_view extraDict) {
    std::string head;
    std::string objects;
    int index = 0;
    for (const auto& [member, body] : compressed_) {
        head += format("%lld %lld ", member, static_cast<long long>(objects.size()));
        objects += body + "\n";
        record(member, Row{2, number, index++});
    }
    std::string data = head + objects;
    std::string dict =
        format("/Type /ObjStm /N %lld /First %lld ", index, static_cast<long long>(head.size()));
    dict.append(extraDict);
    compressed_.clear();
    // The stream's own row comes after its members' (recorded by stream()).
    return stream(number, dict, data, compress);
}

PdfBuilder& PdfBuilder::raw(std::string_view bytes) {
    ensureHeader();
    body_.append(bytes);
    return *this;
}

int PdfBuilder::nextNumber() const {
    int next = all_.empty() ? 1 : all_.rbegin()->first + 1;
    for (const auto& [number, body] : compressed_) {
        (void)body;
        next = std::max(next, number + 1);
    }
    return next;
}

std::map<int, PdfBuilder::Row> PdfBuilder::sectionRows(const Section& section) const {
    return section.listAll || sections_ == 0 ? all_ : pending_;
}

std::string PdfBuilder::trailerEntries(const Section& section, int size) const {
    std::string text;
    if (section.writeSize) {
        text += format("/Size %lld ", size);
    }
    if (section.writeRoot) {
        text += format("/Root %lld 0 R ", section.root >= 0 ? section.root : root_);
    }
    if (section.writePrev && lastXRef_ >= 0) {
        text += format("/Prev %lld ", lastXRef_);
    }
    text += section.trailerExtra;
    return text;
}

void PdfBuilder::writeTable(const std::map<int, Row>& rows, const Section& section, int size,
                            const std::string& extra) {
    const bool full = section.listAll || sections_ == 0;
    // Lines of the table by object number; a full table has a free line for every gap.
    std::map<int, std::string> lines;
    if (full) {
        for (int n = 0; n < size; ++n) {
            lines[n] = n == 0 ? "0000000000 65535 f \n" : "0000000000 00000 f \n";
        }
    }
    for (const auto& [number, row] : rows) {
        if (row.type == 1) {
            lines[number] = format("%010lld %05lld n \n", row.field2, row.field3);
        } else {
            lines.erase(number); // compressed objects are not listed in a classic table
        }
    }
    const int64_t offset = currentOffset();
    body_ += "xref\n";
    for (auto [first, count] : runs(lines)) {
        body_ += format("%lld %lld\n", first, count);
        for (int n = first; n < first + count; ++n) {
            body_ += lines[n];
        }
    }
    if (lines.empty()) {
        body_ += "0 0\n";
    }
    body_ += "trailer\n<< " + trailerEntries(section, size) + extra + " >>\n";
    finishSection(offset);
}

PdfBuilder& PdfBuilder::classicXRef(const Section& section) {
    ensureHeader();
    writeTable(sectionRows(section), section, nextNumber(), "");
    return *this;
}

int64_t PdfBuilder::writeStream(const std::map<int, Row>& rows, const Section& section, int size,
                                bool withPrev, bool full) {
    std::map<int, Row> table;
    if (full) {
        for (int n = 0; n < size; ++n) {
            table[n] = Row{0, 0, n == 0 ? 65535 : 0};
        }
    }
    for (const auto& [number, row] : rows) {
        table[number] = row;
    }
    const auto& w = section.widths;
    const int rowWidth = w[0] + w[1] + w[2];
    std::string data;
    auto put = [&data](uint64_t value, int width) {
        for (int k = width - 1; k >= 0; --k) {
            data.push_back(static_cast<char>(k >= 8 ? 0 : (value >> (8 * k)) & 0xFF));
        }
    };
    for (const auto& [number, row] : table) {
        (void)number;
        put(static_cast<uint64_t>(row.type), w[0]);
        put(static_cast<uint64_t>(row.field2), w[1]);
        put(static_cast<uint64_t>(row.field3), w[2]);
    }
    std::string dict = format("/Type /XRef /W [%lld %lld ", w[0], w[1]) + format("%lld] ", w[2]);
    Section entries = section;
    entries.writeSize = true;
    entries.writePrev = withPrev && section.writePrev;
    dict += trailerEntries(entries, size);
    const bool listsAll = !table.empty() && table.begin()->first == 0 &&
                          static_cast<int>(table.size()) == size &&
                          table.rbegin()->first == size - 1;
    if (section.writeIndex && !listsAll) {
        dict += "/Index [";
        for (auto [first, count] : runs(table)) {
            dict += format("%lld %lld ", first, count);
        }
        dict += "] ";
    }
    if (section.predictor == 12) {
        std::string predicted;
        std::string previous(static_cast<size_t>(rowWidth), '\0');
        for (size_t at = 0; at + rowWidth <= data.size(); at += rowWidth) {
            predicted.push_back(2); // Up
            for (int k = 0; k < rowWidth; ++k) {
                predicted.push_back(static_cast<char>(data[at + k] - previous[k]));
            }
            previous = data.substr(at, static_cast<size_t>(rowWidth));
        }
        data = predicted;
        dict += format("/DecodeParms << /Predictor 12 /Columns %lld >> ", rowWidth);
    }
    const int number = section.streamNumber > 0 ? section.streamNumber : size - 1;
    const int64_t offset = currentOffset();
    std::string bytes = section.deflate ? deflate(data) : data;
    dict += format("/Length %lld", static_cast<long long>(bytes.size()));
    if (section.deflate) {
        dict += " /Filter /FlateDecode";
    }
    body_ += format("%lld 0 obj\n", number) + "<< " + dict + " >>\nstream\n" + bytes +
             "\nendstream\nendobj\n";
    return offset;
}

PdfBuilder& PdfBuilder::streamXRef(const Section& section) {
    ensureHeader();
    const int number = section.streamNumber > 0 ? section.streamNumber : nextNumber();
    // The stream lists itself: its row is known before its bytes are written.
    record(number, Row{1, currentOffset(), 0});
    Section own = section;
    own.streamNumber = number;
    const int size = std::max(nextNumber(), number + 1);
    int64_t offset =
        writeStream(sectionRows(section), own, size, true, section.listAll || sections_ == 0);
    finishSection(offset);
    return *this;
}

PdfBuilder& PdfBuilder::hybridXRef(const Section& section) {
    ensureHeader();
    std::map<int, Row> rows = sectionRows(section);
    std::map<int, Row> compressedRows;
    for (const auto& [number, row] : rows) {
        if (row.type == 2) {
            compressedRows[number] = row;
        }
    }
    const int number = section.streamNumber > 0 ? section.streamNumber : nextNumber();
    Section streamPart = section;
    streamPart.streamNumber = number;
    streamPart.listAll = false;
    streamPart.writeRoot = false;
    streamPart.trailerExtra.clear();
    const int size = std::max(nextNumber(), number + 1);
    // The stream holds only the compressed rows, never a full table.
    int64_t streamOffset = writeStream(compressedRows, streamPart, size, false, false);
    record(number, Row{1, streamOffset, 0});
    rows[number] = Row{1, streamOffset, 0};
    writeTable(rows, section, size, format(" /XRefStm %lld", streamOffset));
    return *this;
}

PdfBuilder& PdfBuilder::startxref(int64_t offset) {
    ensureHeader();
    body_ += format("startxref\n%lld\n%%%%EOF\n", offset);
    return *this;
}

PdfBuilder& PdfBuilder::rawSection(std::string_view bytes) {
    ensureHeader();
    const int64_t at = currentOffset();
    return raw(bytes).startxref(at);
}

PdfBuilder& PdfBuilder::rawXRefStream(int number, std::string_view dictEntries,
                                      std::string_view rows) {
    ensureHeader();
    const int64_t at = currentOffset();
    return stream(number, dictEntries, rows).startxref(at);
}

void PdfBuilder::finishSection(int64_t xrefOffset) {
    body_ += format("startxref\n%lld\n%%%%EOF\n", xrefOffset);
    lastXRef_ = xrefOffset;
    pending_.clear();
    ++sections_;
}

int64_t PdfBuilder::offsetOf(int number) const {
    auto it = all_.find(number);
    return it == all_.end() || it->second.type != 1 ? -1 : it->second.field2;
}

std::string PdfBuilder::bytes() const {
    if (!headerWritten_) {
        return prefix_ + header_ + body_;
    }
    return prefix_ + body_;
}

bool PdfBuilder::writeTo(const std::string& path) const {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    std::string data = bytes();
    bool ok = std::fwrite(data.data(), 1, data.size(), file) == data.size();
    return std::fclose(file) == 0 && ok;
}

std::string PdfBuilder::tableRow(int64_t offset, int generation, char type, std::string_view end) {
    char text[40];
    std::snprintf(text, sizeof text, "%010lld %05d %c", static_cast<long long>(offset), generation,
                  type);
    return text + std::string(end);
}

std::string PdfBuilder::xrefStreamRow(int type, uint64_t second, uint64_t third,
                                      const std::array<int, 3>& widths) {
    std::string row;
    const uint64_t fields[3] = {static_cast<uint64_t>(type), second, third};
    for (int f = 0; f < 3; ++f) {
        for (int k = widths[f] - 1; k >= 0; --k) {
            row += static_cast<char>((fields[f] >> (8 * k)) & 0xFF);
        }
    }
    return row;
}

PdfBuilder PdfBuilder::simpleDocument(int pages) {
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

std::string PdfBuilder::deflate(std::string_view data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress(reinterpret_cast<Bytef*>(out.data()), &size,
                 reinterpret_cast<const Bytef*>(data.data()),
                 static_cast<uLong>(data.size())) != Z_OK) {
        throw std::runtime_error("zlib compress failed");
    }
    out.resize(size);
    return out;
}

} // namespace qm_test
