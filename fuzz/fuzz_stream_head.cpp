// A content stream's head through the page rewrite's check, with the shape of the heads before
// kept, against the check that reads every byte. The input's heads are separated by a zero
// byte; each is judged for the number its first digits give, and for that number plus one. Each
// head is then judged again with every other run of digits one digit longer and with every digit
// turned, so that heads of the kept shape and of shapes near it come one after another.
#include "fuzz/FuzzHarness.h"
#include "pdf/PdfSyntax.h"
#include "stamp/write/CPlainStreamHead.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

void judge(CPlainStreamHead& head, std::string_view text) {
    uint64_t number = 0;
    pdf_syntax::readShortDigits(text, 0, 18, number);
    for (const int64_t asked : {static_cast<int64_t>(number), static_cast<int64_t>(number) + 1}) {
        if (head.find(text, asked) != CPlainStreamHead::read(text, asked)) {
            __builtin_trap();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CPlainStreamHead head;
    size_t start = 0;
    while (start <= input.size()) {
        size_t end = input.find('\0', start);
        if (end == std::string_view::npos) {
            end = input.size();
        }
        const std::string text(input.substr(start, end - start));
        const std::string longer = fuzz_harness::withLongerDigitRuns(text, '7');
        std::string turned;
        for (const char c : text) {
            const bool digit = pdf_syntax::isDigit(static_cast<unsigned char>(c));
            turned += digit ? static_cast<char>('0' + ('9' - c)) : c;
        }
        judge(head, text);
        judge(head, turned);
        judge(head, longer);
        judge(head, text);
        start = end + 1;
    }
    return 0;
}
