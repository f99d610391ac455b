#include "stamp/text/ComposeText.h"

#include "stamp/text/CTextComposer.h"
#include "stamp/text/TextEncoding.h"

#include <array>

namespace {

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
    CTextComposer(stamp, pageCount).compose(number, out);
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
