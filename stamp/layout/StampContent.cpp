#include "stamp/layout/StampContent.h"

#include "pdf/PdfSyntax.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

using pdfsyntax::appendDecimal;

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

// Texts go into the content as "%s" puts them: up to a zero byte.
std::string_view untilZero(std::string_view text) {
    return text.substr(0, text.find('\0'));
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

// The values separated by single spaces, each as "%f" writes it.
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

// The six numbers of the text matrix as "%f %f %f %f %f %f". The text of the last call is
// kept: pages of one size and rotation draw the stamp with the same matrix.
void appendMatrix(std::string& out, const std::array<float, 6>& values) {
    thread_local std::array<float, 6> lastValues{};
    thread_local std::string lastText;
    if (lastText.empty() || std::memcmp(values.data(), lastValues.data(), sizeof lastValues) != 0) {
        lastText.clear();
        appendFixedList(lastText,
                        {values[0], values[1], values[2], values[3], values[4], values[5]});
        lastValues = values;
    }
    out += lastText;
}

} // namespace

float stampAngleRadians(float degrees) {
    return static_cast<float>(static_cast<double>(degrees) * 3.14 / 180.0);
}

std::string formatStampContent(const StampContentInput& in) {
    std::string out;
    appendStampContent(out, in);
    return out;
}

namespace {

// The stream text before and after the stamp's text, which depends on everything but the text.
// The pages of one stamp share it (the numbers change, the drawing around them seldom does),
// so the frame of the last call is kept and made again only when its inputs differ.
class ContentFrame {
  public:
    // The frame for in: from the last call when in asks for the same.
    void prepare(const StampContentInput& in) {
        if (valid_ && sameAsLast(in)) {
            return;
        }
        remember(in);
        build(in);
        valid_ = true;
    }
    const std::string& head() const { return head_; }
    const std::string& tail() const { return tail_; }

  private:
    // Floats compare by their bits: a NaN matches itself, and -0 stays apart from 0.
    static bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
    static bool sameText(std::string_view a, const std::string& b) {
        return a.size() == b.size() &&
               (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
    }

    bool sameAsLast(const StampContentInput& in) const {
        return in.fontSize == fontSize_ && in.under == under_ && in.artifact == artifact_ &&
               in.pageWrap == pageWrap_ && in.glyphArray.empty() == !glyphs_ &&
               sameBits(in.x, x_) && sameBits(in.y, y_) &&
               sameBits(in.angleRadians, angleRadians_) && sameBits(in.boxX, boxX_) &&
               sameBits(in.boxY, boxY_) && sameBits(in.boxWidth, boxWidth_) &&
               sameBits(in.boxHeight, boxHeight_) &&
               sameText(in.graphicsStateName, graphicsStateName_) &&
               sameText(in.fontResourceName, fontResourceName_) &&
               sameText(in.colorOperator, colorOperator_) &&
               sameText(in.boxColorOperator, boxColorOperator_);
    }

    void remember(const StampContentInput& in) {
        fontSize_ = in.fontSize;
        under_ = in.under;
        artifact_ = in.artifact;
        pageWrap_ = in.pageWrap;
        glyphs_ = !in.glyphArray.empty();
        x_ = in.x;
        y_ = in.y;
        angleRadians_ = in.angleRadians;
        boxX_ = in.boxX;
        boxY_ = in.boxY;
        boxWidth_ = in.boxWidth;
        boxHeight_ = in.boxHeight;
        graphicsStateName_.assign(in.graphicsStateName);
        colorOperator_.assign(in.colorOperator);
        fontResourceName_.assign(in.fontResourceName);
        boxColorOperator_.assign(in.boxColorOperator);
    }

    void build(const StampContentInput& in) {
        const float c = std::cos(in.angleRadians);
        const float s = std::sin(in.angleRadians);
        std::string& out = head_;
        out.clear();
        if (in.under) {
            out += "q\n";
        } else if (in.pageWrap) {
            out += "\nQ\n";
        }
        if (in.artifact) {
            out += "/Artifact << /Type /Pagination >> BDC\n";
        }
        const std::array<float, 6> matrix{c, s, -s, c, in.x, in.y};
        if (!in.boxColorOperator.empty()) {
            // The graphics state (the opacity) is set for box and text alike; the box is filled
            // in the text's space, which the save and restore around it leave behind.
            out += '/';
            out += untilZero(in.graphicsStateName);
            out += " gs\nq\n";
            appendMatrix(out, matrix);
            out += " cm\n";
            out += untilZero(in.boxColorOperator);
            out += '\n';
            appendFixedList(out, {in.boxX, in.boxY, in.boxWidth, in.boxHeight});
            out += " re\nf\nQ\nBT\n";
        } else {
            out += "BT\n/";
            out += untilZero(in.graphicsStateName);
            out += " gs\n";
        }
        appendMatrix(out, matrix);
        out += " Tm\n";
        out += untilZero(in.colorOperator);
        out += "\n/";
        out += untilZero(in.fontResourceName);
        out += ' ';
        appendDecimal(out, in.fontSize);
        out += in.glyphArray.empty() ? " Tf\n(" : " Tf\n";
        tail_ = in.glyphArray.empty() ? ") Tj\nET\n" : " TJ\nET\n";
        if (in.artifact) {
            tail_ += "EMC\n";
        }
        if (in.under) {
            tail_ += in.pageWrap ? "Q\nq\n" : "Q\n";
        }
    }

    bool valid_ = false;
    int32_t fontSize_ = 0;
    bool under_ = false;
    bool artifact_ = false;
    bool pageWrap_ = false;
    bool glyphs_ = false;
    float x_ = 0.0f;
    float y_ = 0.0f;
    float angleRadians_ = 0.0f;
    float boxX_ = 0.0f;
    float boxY_ = 0.0f;
    float boxWidth_ = 0.0f;
    float boxHeight_ = 0.0f;
    std::string graphicsStateName_;
    std::string colorOperator_;
    std::string fontResourceName_;
    std::string boxColorOperator_;
    std::string head_;
    std::string tail_;
};

} // namespace

void appendStampContent(std::string& out, const StampContentInput& in) {
    thread_local ContentFrame frame;
    frame.prepare(in);
    const std::string_view drawn = in.glyphArray.empty() ? untilZero(in.text) : in.glyphArray;
    out.reserve(out.size() + frame.head().size() + drawn.size() + frame.tail().size());
    out += frame.head();
    out += drawn;
    out += frame.tail();
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

namespace {

std::string formatColorOperatorText(uint32_t rgb, uint32_t cmyk) {
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

} // namespace

const std::string& formatColorOperator(uint32_t rgb, uint32_t cmyk) {
    // A job draws every page in one colour: the text of the last call is kept.
    thread_local uint32_t lastRgb = 0;
    thread_local uint32_t lastCmyk = 0;
    thread_local std::string lastText;
    if (lastText.empty() || rgb != lastRgb || cmyk != lastCmyk) {
        lastText = formatColorOperatorText(rgb, cmyk);
        lastRgb = rgb;
        lastCmyk = cmyk;
    }
    return lastText;
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
