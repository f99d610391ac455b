#include "stamp/pass/CPdfStamp.h"

#include "pdf/CPdfException.h"
#include "platform/Platform.h"
#include "platform/UniqueFile.h"
#include "stamp/files/LineReader.h"
#include "stamp/files/NumberScan.h"
#include "stamp/fonts/FontTable.h"

#include <cstdio>

namespace {

// A sizes file line is read into 255 bytes: at most 254 bytes, longer lines in pieces.
constexpr size_t kSizesLineBytes = 254;

// Writes widths[0..255] as sixteen lines of sixteen "%d " numbers.
void appendWidths(std::string& out, const FontMetrics& font) {
    char number[16];
    for (int code = 0; code < 256; ++code) {
        std::snprintf(number, sizeof number, "%d ", static_cast<int>(font.widths[code]));
        out += number;
        if (code % 16 == 15) {
            out += '\n';
        }
    }
}

} // namespace

SizeTable CPdfStamp::loadFontSizes() {
    SizeTable table;
    std::string openError;
    UniqueFile file(platform::openRegularFile(stamp.fontSizesFile, openError));
    if (!file) {
        reporter_->note("Unable to open font sizes file: '" + stamp.fontSizesFile + "'\r\n");
        // The run goes on with -size, but not as asked: it ends with status 1.
        failSoftly("Can't open the font sizes file '" + stamp.fontSizesFile + "': " + openError);
        return table;
    }
    // Every line takes the next entry, numbers found or not; lines past the tenth are ignored.
    std::string line;
    while (table.count < SizeTable::kCapacity && readLine(file.get(), line, kSizesLineBytes)) {
        int32_t size = 0;
        int32_t limit = 0;
        size_t pos = 0;
        if (numberscan::scanDecimal(line, pos, size) && pos < line.size() && line[pos] == ',') {
            ++pos;
            numberscan::scanDecimal(line, pos, limit);
        }
        table.size[table.count] = size;
        table.widthLimit[table.count] = limit;
        ++table.count;
    }
    return table;
}

int32_t CPdfStamp::sizeForPageWidth(int32_t width) const {
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

std::string CPdfStamp::writeFontDescriptor(const std::string& fontName) const {
    const FontMetrics* font = findFont(fontName);
    if (font == nullptr) {
        throw CPdfException("Unknown font name");
    }
    char bbox[64];
    std::snprintf(bbox, sizeof bbox, "%d %d %d %d", static_cast<int>(font->bbox[0]),
                  static_cast<int>(font->bbox[1]), static_cast<int>(font->bbox[2]),
                  static_cast<int>(font->bbox[3]));
    std::string out = " 0 obj\n<<\n/Type /FontDescriptor\n/FontName /";
    out += pdfNameEscape(fontName);
    out += "\n/FontBBox [";
    out += bbox;
    out += "]\n/Flags 34\n/ItalicAngle 0\n>>\nendobj\n";
    return out;
}

std::string CPdfStamp::writeFontObject(const std::string& fontName) const {
    // The descriptor is the first object added after the input's own objects.
    const size_t descriptorNumber = inputEntries != nullptr ? inputEntries->size() : 0;
    std::string out = " 0 obj\n<<\n/Type /Font\n/Name /";
    out += fontResourceName;
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
