#include "stamp/fonts/FontTable.h"

#include "pdf/CPdfException.h"
#include "pdf/PdfSyntax.h"
#include "platform/Platform.h"
#include "platform/UniqueFile.h"
#include "stamp/files/LineReader.h"
#include "stamp/files/NumberScan.h"

#include <cstdio>
#include <vector>

namespace {

// A font metrics file adds at most this many fonts; each costs about a kilobyte, so a huge file
// of short lines cannot exhaust the memory. Further lines are ignored.
constexpr size_t kMaxFileFonts = 4096;
// Lines of this length or less (line end included) carry no font.
constexpr size_t kMinMetricsLine = 21;
// Fields before the first width: a free tag, the name, four bounding-box numbers, six unused.
constexpr size_t kFirstWidthField = 12;

struct FontTable {
    std::vector<FontMetrics> fonts;
    std::vector<std::string> keys; // matching key of fonts[i]

    // The built-in fonts, and no others. They lead the table and are never changed, so a
    // table that holds them already only drops the fonts a metrics file added after them:
    // a list of files resets the table for each file without building it again.
    void reset() {
        const auto builtins = static_cast<size_t>(kBuiltinFontCount);
        if (fonts.size() >= builtins) {
            fonts.resize(builtins);
            keys.resize(builtins);
            return;
        }
        fonts.assign(kBuiltinFonts, kBuiltinFonts + kBuiltinFontCount);
        keys.clear();
        keys.reserve(fonts.size());
        for (const FontMetrics& font : fonts) {
            keys.push_back(fontMatchingKey(font.name));
        }
    }
    void add(FontMetrics font) {
        keys.push_back(fontMatchingKey(font.name));
        fonts.push_back(std::move(font));
    }
};

// The table holds the built-in fonts from its first use, so lookups work before any rebuild.
FontTable& table() {
    static FontTable instance = [] {
        FontTable t;
        t.reset();
        return t;
    }();
    return instance;
}

// The non-empty fields of a line, split at "|" and line feed.
std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == '|' || line[i] == '\n') {
            if (i > start) {
                fields.push_back(line.substr(start, i - start));
            }
            start = i + 1;
        }
    }
    return fields;
}

// One font from one line of a metrics file; false when the line names none.
bool parseMetricsLine(std::string_view line, FontMetrics& font) {
    std::vector<std::string_view> fields = splitFields(line);
    if (fields.size() < 2) {
        return false;
    }
    font.name = std::string(fields[1]);
    for (size_t i = 0; i < 4; ++i) {
        font.bbox[i] = 2 + i < fields.size() ? number_scan::leadingDecimal(fields[2 + i]) : 0;
    }
    for (size_t code = 0; code < 256 && kFirstWidthField + code < fields.size(); ++code) {
        font.widths[code] = number_scan::leadingDecimal(fields[kFirstWidthField + code]);
    }
    return true;
}

} // namespace

std::string fontMatchingKey(std::string_view name) {
    std::string key;
    for (char c : name) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            key.push_back(c);
        }
    }
    return key;
}

bool buildFontTable(const std::string& path) {
    FontTable& t = table();
    t.reset();
    if (path.empty()) {
        return false;
    }
    // A metrics file that cannot be opened (or is no regular file, such as a pipe that would
    // block) adds no fonts.
    std::string openError;
    UniqueFile file(platform::openRegularFile(path, openError));
    if (!file) {
        return false;
    }
    std::string line;
    size_t added = 0;
    while (added < kMaxFileFonts && readLine(file.get(), line, kMaxLineBytes)) {
        if (line.size() < kMinMetricsLine) {
            continue;
        }
        FontMetrics font;
        if (parseMetricsLine(line, font)) {
            t.add(std::move(font));
            ++added;
        }
    }
    return true;
}

const FontMetrics* findFont(std::string_view name) {
    const FontTable& t = table();
    const std::string key = fontMatchingKey(name);
    for (size_t i = 0; i < t.fonts.size(); ++i) {
        if (t.keys[i] == key) {
            return &t.fonts[i];
        }
    }
    return nullptr;
}

int32_t getTextWidth(std::string_view fontName, std::string_view text) {
    const FontMetrics* font = findFont(fontName);
    if (font == nullptr) {
        return 0;
    }
    // Widths from a metrics file can be anything: the sum wraps as a 32-bit value would.
    uint32_t sum = 0;
    for (char c : text) {
        if (c == '\0') {
            break;
        }
        sum += static_cast<uint32_t>(font->widths[static_cast<unsigned char>(c)]);
    }
    return static_cast<int32_t>(sum);
}

std::string pdfNameEscape(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    static constexpr std::string_view kDelimiters = "()<>[]{}/%#";
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        // A name cannot hold a zero byte, not even escaped.
        if (byte == 0) {
            continue;
        }
        if (byte < 0x21 || byte > 0x7E || kDelimiters.find(c) != std::string_view::npos) {
            out.push_back('#');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

namespace {

// A sizes file line is read into 255 bytes: at most 254 bytes, longer lines in pieces.
constexpr size_t kSizesLineBytes = 254;

// Writes widths[0..255] as sixteen lines of sixteen decimal numbers, each followed by a space.
void appendWidths(std::string& out, const FontMetrics& font) {
    for (int code = 0; code < 256; ++code) {
        pdf_syntax::appendDecimal(out, font.widths[code]);
        out += ' ';
        if (code % 16 == 15) {
            out += '\n';
        }
    }
}

} // namespace

bool readFontSizes(const std::string& path, SizeTable& table, std::string& openError) {
    table = SizeTable{};
    UniqueFile file(platform::openRegularFile(path, openError));
    if (!file) {
        return false;
    }
    // Every line takes the next entry, numbers found or not; lines past the tenth are ignored.
    std::string line;
    while (table.count < SizeTable::kCapacity && readLine(file.get(), line, kSizesLineBytes)) {
        int32_t size = 0;
        int32_t limit = 0;
        size_t pos = 0;
        if (number_scan::scanDecimal(line, pos, size) && pos < line.size() && line[pos] == ',') {
            ++pos;
            number_scan::scanDecimal(line, pos, limit);
        }
        table.size[table.count] = size;
        table.widthLimit[table.count] = limit;
        ++table.count;
    }
    return true;
}

int32_t sizeForPageWidth(const StampDefinition& stamp, int32_t width) {
    int32_t size = stamp.baseSize;
    if (stamp.fontSizesFile.empty() || width <= 0) {
        return size;
    }
    const SizeTable& table = stamp.sizeTable;
    const int32_t count = table.count < SizeTable::kCapacity ? table.count : SizeTable::kCapacity;
    // The last entry whose limit covers the width wins.
    for (int32_t i = 0; i < count; ++i) {
        if (table.widthLimit[i] >= width) {
            size = table.size[i];
        }
    }
    return size;
}

std::string writeFontDescriptor(const std::string& fontName) {
    const FontMetrics* font = findFont(fontName);
    if (font == nullptr) {
        throw CPdfException("Unknown font name");
    }
    std::string out = " 0 obj\n<<\n/Type /FontDescriptor\n/FontName /";
    out += pdfNameEscape(fontName);
    out += "\n/FontBBox [";
    for (size_t i = 0; i < 4; ++i) {
        if (i > 0) {
            out += ' ';
        }
        pdf_syntax::appendDecimal(out, font->bbox[i]);
    }
    out += "]\n/Flags 34\n/ItalicAngle 0\n>>\nendobj\n";
    return out;
}

std::string writeFontObject(const std::string& fontName, std::string_view resourceName,
                            size_t descriptorNumber) {
    std::string out = " 0 obj\n<<\n/Type /Font\n/Name /";
    out += resourceName;
    out += " \n/Subtype /TrueType\n/Encoding /WinAnsiEncoding\n/BaseFont /";
    out += pdfNameEscape(fontName);
    out += "\n/FontDescriptor ";
    out += std::to_string(descriptorNumber);
    out += " 0 R\n/FirstChar 0\n/LastChar 255\n";
    if (const FontMetrics* font = findFont(fontName)) {
        out += "/Widths [\n";
        appendWidths(out, *font);
        out += " ]\n";
    }
    out += ">>\nendobj\n";
    return out;
}
