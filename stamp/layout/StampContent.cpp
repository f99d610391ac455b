#include "stamp/layout/StampContent.h"

#include "stamp/layout/CStampDrawing.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

// printf-style formatting into a string of whatever length the result needs.
[[gnu::format(printf, 1, 2)]] std::string format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, pattern, args);
    va_end(args);
    std::string out;
    if (length > 0) {
        out.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(out.data(), out.size(), pattern, again);
        out.resize(static_cast<size_t>(length));
    }
    va_end(again);
    return out;
}

// value as "%f" writes it: six decimals, rounded as printf rounds. std::to_chars gives the same
// digits for every finite value without printf's cost; infinities and NaN go through printf.
void appendFixed(std::string& out, double value) {
    char text[512]; // "%f" of the largest double takes 317 characters
    if (std::isfinite(value)) {
        const auto written =
            std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
        if (written.ec == std::errc()) {
            out.append(text, written.ptr);
            return;
        }
    }
    const int length = std::snprintf(text, sizeof text, "%f", value);
    if (length > 0) {
        out.append(text, std::min(static_cast<size_t>(length), sizeof text - 1));
    }
}

} // namespace

std::string_view untilZero(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

void appendFixedList(std::string& out, std::initializer_list<float> values) {
    bool first = true;
    for (float value : values) {
        if (!first) {
            out += ' ';
        }
        first = false;
        appendFixed(out, static_cast<double>(value));
    }
}

float stampAngleRadians(float degrees) {
    return static_cast<float>(static_cast<double>(degrees) * 3.14 / 180.0);
}

std::string formatStampContent(const StampContentInput& in) {
    std::string out;
    appendStampContent(out, in);
    return out;
}

void appendStampContent(std::string& out, const StampContentInput& in) {
    CStampDrawing().append(out, in);
}

StampBox stampBoxRect(float advance, float descent, float ascent, int32_t fontSize) {
    const float size = static_cast<float>(fontSize);
    const float margin = size / 4.0f;
    StampBox box;
    box.x = -margin;
    box.y = descent * size / 1000.0f - margin;
    box.width = advance * size / 1000.0f + 2.0f * margin;
    box.height = (ascent - descent) * size / 1000.0f + 2.0f * margin;
    return box;
}

std::string_view fixedStreamText(bool under) {
    return under ? "Q\n" : "q\n";
}

std::string formatStreamObject(std::string_view data) {
    std::string out;
    appendStreamObject(out, data);
    return out;
}

void appendStreamObject(std::string& out, std::string_view data) {
    static constexpr std::string_view kHead = " 0 obj\n<<\n/Length ";
    static constexpr std::string_view kDictionaryEnd = " \n>>\nstream\n";
    static constexpr std::string_view kEnd = "\nendstream\nendobj\n";
    char digits[20];
    const char* digitsEnd = std::to_chars(digits, digits + sizeof digits, data.size()).ptr;
    const auto length = static_cast<size_t>(digitsEnd - digits);
    // Sized once, then filled piece by piece.
    const size_t at = out.size();
    out.resize(at + kHead.size() + length + kDictionaryEnd.size() + data.size() + kEnd.size());
    char* to = out.data() + at;
    for (std::string_view piece :
         {kHead, std::string_view(digits, length), kDictionaryEnd, data, kEnd}) {
        if (!piece.empty()) {
            std::memcpy(to, piece.data(), piece.size());
            to += piece.size();
        }
    }
}

std::string formatColorOperator(uint32_t rgb, uint32_t cmyk) {
    std::string out;
    if (cmyk != 0) {
        const float c = static_cast<float>(cmyk & 0xFF000000u) / 4278190080.0f;
        const float m = static_cast<float>(cmyk & 0xFF0000u) / 16711680.0f;
        const float y = static_cast<float>(cmyk & 0xFF00u) / 65280.0f;
        const float k = static_cast<float>(cmyk & 0xFFu) / 255.0f;
        appendFixedList(out, {c, m, y, k});
        out += " k";
        return out;
    }
    const float r = static_cast<float>(rgb & 0xFF0000u) / 16711680.0f;
    const float g = static_cast<float>(rgb & 0xFF00u) / 65280.0f;
    const float b = static_cast<float>(rgb & 0xFFu) / 255.0f;
    appendFixedList(out, {r, g, b});
    out += " rg";
    return out;
}

std::string formatGraphicsState(float opacityPercent) {
    return format(" 0 obj<</Type/ExtGState/ca %.2f>>\n endobj\n",
                  static_cast<double>(opacityPercent / 100.0f));
}

void buildStampStream(const StampContentInput& input, std::string& content, std::string& object) {
    content.clear();
    appendStampContent(content, input);
    object.clear();
    appendStreamObject(object, content);
}
