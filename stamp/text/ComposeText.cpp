#include "stamp/text/ComposeText.h"

#include "stamp/text/CRomanNumeral.h"
#include "stamp/text/TextEncoding.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

namespace {

// Longer masks pad beyond anything a page can show; the cap keeps hostile widths from
// allocating without bound.
constexpr int32_t kMaskWidthLimit = 64;

int32_t decimalDigits(uint64_t magnitude) {
    int32_t digits = 0;
    while (magnitude != 0) {
        ++digits;
        magnitude /= 10;
    }
    return digits;
}

// Room enough for a number as composeText writes it: a mask's zeros, a sign and 19 digits, or
// a roman numeral (at most 17 letters).
constexpr size_t kNumberRoom = kMaskWidthLimit + 20;

// Writes number padded to the mask width with zeros at to; the end of what was written (at most
// kNumberRoom bytes). A number counts its digits, except 0, which counts none (so mask 3 turns 0
// into "0000"); a minus sign is not a digit and stays behind the zeros.
char* putMaskedDecimal(char* to, int64_t number, int32_t maskWidth) {
    if (maskWidth > 0) {
        uint64_t magnitude =
            number < 0 ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
        int32_t width = std::min(maskWidth, kMaskWidthLimit);
        int32_t missing = width - decimalDigits(magnitude);
        if (missing > 0) {
            std::memset(to, '0', static_cast<size_t>(missing));
            to += missing;
        }
    }
    return std::to_chars(to, to + 20, number).ptr;
}

// A literal string's text that ends in an odd run of backslashes would escape the closing
// parenthesis: its last backslash is doubled.
void endWithoutEscapingTheClose(std::string& out) {
    size_t trailing = 0;
    while (trailing < out.size() && out[out.size() - 1 - trailing] == '\\') {
        ++trailing;
    }
    if (trailing % 2 == 1) {
        out += '\\';
    }
}

// The text up to its first zero byte, with "(" and ")" as octal escapes so that it can sit
// inside "(...) Tj", into out; a trailing odd run of backslashes would escape the closing
// parenthesis, so its last backslash is doubled.
void escapeForLiteralString(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    // Runs of plain bytes go over in one piece, up to the next parenthesis or zero byte.
    size_t at = 0;
    while (at < text.size()) {
        size_t special = at;
        while (special < text.size() && text[special] != '(' && text[special] != ')' &&
               text[special] != '\0') {
            ++special;
        }
        out.append(text.data() + at, special - at);
        if (special == text.size() || text[special] == '\0') {
            break;
        }
        out += text[special] == '(' ? "\\050" : "\\051";
        at = special + 1;
    }
    endWithoutEscapingTheClose(out);
}

} // namespace

void composeText(const StampDefinition& stamp, int32_t number, uint32_t pageCount,
                 ComposedText& out) {
    // The text is written into a buffer sized for the longest it can be, then cut to its length.
    std::string& text = out.text;
    text.resize(stamp.prefixText.size() + stamp.separatorText.size() + stamp.endText.size() +
                2 * kNumberRoom);
    char* const start = text.data();
    char* at = start;
    auto put = [&](std::string_view piece) {
        if (!piece.empty()) {
            std::memcpy(at, piece.data(), piece.size());
            at += piece.size();
        }
    };
    // The page's number and the page count, roman or decimal; numbers without a roman form are
    // shown in decimal, unmasked.
    auto putNumber = [&](int64_t value) {
        if (stamp.upperRoman || stamp.lowerRoman) {
            if (value < 0 || value > CRomanNumeral::kLargest) {
                at = putMaskedDecimal(at, value, 0);
                return;
            }
            CRomanNumeral roman;
            const std::string letters =
                roman.toRoman(static_cast<int32_t>(value), !stamp.upperRoman);
            put(std::string_view(letters).substr(0, kNumberRoom));
            return;
        }
        at = putMaskedDecimal(at, value, stamp.maskWidth);
    };
    // An embedded font shapes the text piece by piece: where each piece ends.
    const bool pieces = !stamp.embedFontFile.empty();
    out.pieces.clear();
    auto endPiece = [&] {
        if (pieces) {
            out.pieces.push_back(static_cast<size_t>(at - start));
        }
    };
    put(stamp.prefixText);
    endPiece();
    if (stamp.noPageNumbers) {
        put(stamp.separatorText);
    } else if (stamp.numberOnly) {
        putNumber(number);
        endPiece();
        put(stamp.separatorText);
    } else {
        putNumber(number);
        endPiece();
        put(stamp.separatorText);
        endPiece();
        putNumber(pageCount);
    }
    endPiece();
    put(stamp.endText);
    endPiece();
    text.resize(static_cast<size_t>(at - start));
}

ComposedText composeText(const StampDefinition& stamp, int32_t number, uint32_t pageCount) {
    ComposedText out;
    composeText(stamp, number, pageCount, out);
    return out;
}

void toLiteralText(std::string_view text, std::string& out) {
    // Plain ASCII reads the same in both encodings: it is escaped as it is read, in one pass
    // that gives way to the conversion at the first byte beyond ASCII. The bytes that stop the
    // plain runs: parentheses, the zero byte, and every byte beyond ASCII.
    static constexpr auto kStops = [] {
        std::array<bool, 256> stops{};
        stops['('] = stops[')'] = stops[0] = true;
        for (size_t c = 0x80; c < 256; ++c) {
            stops[c] = true;
        }
        return stops;
    }();
    out.clear();
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    size_t at = 0;
    while (true) {
        const size_t plainFrom = at;
        while (at < text.size() && !kStops[bytes[at]]) {
            ++at;
        }
        out.append(text.data() + plainFrom, at - plainFrom);
        if (at == text.size() || bytes[at] == 0) {
            break;
        }
        if (bytes[at] >= 0x80) {
            escapeForLiteralString(text_encoding::toWinAnsi(text), out);
            return;
        }
        out += bytes[at] == '(' ? "\\050" : "\\051";
        ++at;
    }
    endWithoutEscapingTheClose(out);
}
