#include "stamp/StampContent.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

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

// Texts go into the content as "%s" puts them: up to a zero byte.
std::string untilZero(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

} // namespace

float stampAngleRadians(float degrees) {
    return static_cast<float>(static_cast<double>(degrees) * 3.14 / 180.0);
}

std::string formatStampContent(const StampContentInput& in) {
    const float c = std::cos(in.angleRadians);
    const float s = std::sin(in.angleRadians);
    std::string out =
        format("\nQ\nBT\n/%s gs\n%f %f %f %f %f %f Tm\n", untilZero(in.graphicsStateName).c_str(),
               static_cast<double>(c), static_cast<double>(s), static_cast<double>(-s),
               static_cast<double>(c), static_cast<double>(in.x), static_cast<double>(in.y));
    out += untilZero(in.colorOperator);
    out += format("\n/%s %d Tf\n(", untilZero(in.fontResourceName).c_str(), in.fontSize);
    out += untilZero(in.text);
    out += ") Tj\nET\n";
    return out;
}

std::string formatStreamObject(std::string_view data) {
    std::string out = format(" 0 obj\n<<\n/Length %zu \n>>\nstream\n", data.size());
    out += data;
    out += "\nendstream\nendobj\n";
    return out;
}

std::string formatColorOperator(uint32_t rgb, uint32_t cmyk) {
    if (cmyk != 0) {
        const float c = static_cast<float>(cmyk & 0xFF000000u) / 4278190080.0f;
        const float m = static_cast<float>(cmyk & 0xFF0000u) / 16711680.0f;
        const float y = static_cast<float>(cmyk & 0xFF00u) / 65280.0f;
        const float k = static_cast<float>(cmyk & 0xFFu) / 255.0f;
        return format("%f %f %f %f k", static_cast<double>(c), static_cast<double>(m),
                      static_cast<double>(y), static_cast<double>(k));
    }
    const float r = static_cast<float>(rgb & 0xFF0000u) / 16711680.0f;
    const float g = static_cast<float>(rgb & 0xFF00u) / 65280.0f;
    const float b = static_cast<float>(rgb & 0xFFu) / 255.0f;
    return format("%f %f %f rg", static_cast<double>(r), static_cast<double>(g),
                  static_cast<double>(b));
}

std::string formatGraphicsState(float opacityPercent) {
    return format(" 0 obj<</Type/ExtGState/ca %.2f>>\n endobj\n",
                  static_cast<double>(opacityPercent / 100.0f));
}
