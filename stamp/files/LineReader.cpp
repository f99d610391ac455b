#include "stamp/files/LineReader.h"

#include "stamp/text/TextEncoding.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The next UTF-16 code unit, or -1 at the end of the file (an odd last byte included).
long readUnit(std::FILE* file, LineEncoding encoding) {
    const int first = std::getc(file);
    if (first == EOF) {
        return -1;
    }
    const int second = std::getc(file);
    if (second == EOF) {
        return -1;
    }
    return encoding == LineEncoding::Utf16LittleEndian ? (second << 8) | first
                                                       : (first << 8) | second;
}

bool isHighSurrogate(long unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(long unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The next character of a UTF-16 file, or -1 at its end.
long readCharacter(std::FILE* file, LineEncoding encoding) {
    const long unit = readUnit(file, encoding);
    if (unit < 0 || !isHighSurrogate(unit)) {
        return isLowSurrogate(unit) ? kReplacement : unit;
    }
    std::fpos_t beforeLow{};
    std::fgetpos(file, &beforeLow);
    const long low = readUnit(file, encoding);
    if (isLowSurrogate(low)) {
        return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    // Not a pair: the unit after it is read again as a character of its own.
    std::fsetpos(file, &beforeLow);
    return kReplacement;
}

bool readUtf16Line(std::FILE* file, std::string& line, size_t maxBytes, LineEncoding encoding) {
    while (line.size() < maxBytes) {
        std::fpos_t before{};
        std::fgetpos(file, &before);
        const long c = readCharacter(file, encoding);
        if (c < 0) {
            break;
        }
        std::string bytes;
        text_encoding::appendUtf8(bytes, static_cast<uint32_t>(c));
        if (!line.empty() && line.size() + bytes.size() > maxBytes) {
            // The character starts the next line.
            std::fsetpos(file, &before);
            break;
        }
        line += bytes;
        if (c == '\n') {
            break;
        }
        if (c == '\r') {
            std::fgetpos(file, &before);
            if (readCharacter(file, encoding) == '\n') {
                line += '\n';
            } else {
                std::fsetpos(file, &before);
            }
            break;
        }
    }
    return !line.empty();
}

} // namespace

LineEncoding startLines(std::FILE* file) {
    unsigned char mark[3] = {};
    const size_t got = std::fread(mark, 1, sizeof mark, file);
    if (got >= 2 && mark[0] == 0xFF && mark[1] == 0xFE) {
        std::fseek(file, 2, SEEK_SET);
        return LineEncoding::Utf16LittleEndian;
    }
    if (got >= 2 && mark[0] == 0xFE && mark[1] == 0xFF) {
        std::fseek(file, 2, SEEK_SET);
        return LineEncoding::Utf16BigEndian;
    }
    const bool utf8Mark = got == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF;
    std::fseek(file, utf8Mark ? 3 : 0, SEEK_SET);
    return LineEncoding::Bytes;
}

bool readLine(std::FILE* file, std::string& line, size_t maxBytes, LineEncoding encoding) {
    line.clear();
    if (encoding != LineEncoding::Bytes) {
        return readUtf16Line(file, line, maxBytes, encoding);
    }
    while (line.size() < maxBytes) {
        int c = std::getc(file);
        if (c == EOF) {
            break;
        }
        line += static_cast<char>(c);
        if (c == '\n') {
            break;
        }
        if (c == '\r') {
            // CR LF is one line end; a CR alone ends the line as well.
            int next = std::getc(file);
            if (next == '\n') {
                line += '\n';
            } else if (next != EOF) {
                std::ungetc(next, file);
            }
            break;
        }
    }
    return !line.empty();
}

std::string_view withoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    return line;
}

size_t countLines(std::FILE* file, size_t maxBytes, LineEncoding encoding) {
    size_t count = 0;
    std::string line;
    while (readLine(file, line, maxBytes, encoding)) {
        ++count;
    }
    std::rewind(file);
    (void)startLines(file);
    return count;
}
