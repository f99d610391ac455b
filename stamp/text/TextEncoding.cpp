#include "stamp/text/TextEncoding.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace text_encoding {

namespace {

// Code page 1252 bytes 0x80 to 0x9F; 0 marks the five bytes without a character.
const uint16_t kHighControls[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char toCodePage1252(uint32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        return static_cast<char>(codePoint);
    }
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] != 0 && kHighControls[i] == codePoint) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

} // namespace

std::optional<uint32_t> decodeUtf8At(std::string_view text, size_t& pos) {
    auto byteAt = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byteAt(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    size_t length = 0;
    uint32_t codePoint = 0;
    uint32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1Fu;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0Fu;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07u;
        smallest = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() - pos < length) {
        return std::nullopt;
    }
    for (size_t i = 1; i < length; ++i) {
        unsigned char next = byteAt(pos + i);
        if ((next & 0xC0u) != 0x80u) {
            return std::nullopt;
        }
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    if (codePoint < smallest || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return std::nullopt;
    }
    pos += length;
    return codePoint;
}

void appendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isValidUtf8(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
        if (!decodeUtf8At(text, pos)) {
            return false;
        }
    }
    return true;
}

std::string toWinAnsi(std::string_view text) {
    // Plain ASCII, the usual page text, is the same in both encodings.
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii || !isValidUtf8(text)) {
        return std::string(text);
    }
    std::string result;
    result.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        result += toCodePage1252(*decodeUtf8At(text, pos));
    }
    return result;
}

std::vector<uint32_t> undrawableCharacters(std::string_view text) {
    std::vector<uint32_t> found;
    if (!isValidUtf8(text)) {
        return found;
    }
    size_t pos = 0;
    while (pos < text.size()) {
        const uint32_t c = *decodeUtf8At(text, pos);
        if (c != '?' && toCodePage1252(c) == '?' &&
            std::find(found.begin(), found.end(), c) == found.end()) {
            found.push_back(c);
        }
    }
    return found;
}

std::string fromWinAnsi(std::string_view text) {
    std::string result;
    result.reserve(text.size() * 2);
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        uint32_t codePoint = byte;
        if (byte >= 0x80 && byte < 0xA0) {
            // The five bytes without a character keep the code point of the same number.
            codePoint = kHighControls[byte - 0x80] != 0 ? kHighControls[byte - 0x80] : byte;
        }
        appendUtf8(result, codePoint);
    }
    return result;
}

} // namespace text_encoding
