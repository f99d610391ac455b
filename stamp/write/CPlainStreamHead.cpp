#include "stamp/write/CPlainStreamHead.h"

#include "pdf/PdfSyntax.h"

#include <array>
#include <cstring>

using pdf_syntax::npos;

namespace {

// What the reading of a head makes of a byte of its dictionary's entries.
enum StreamHeadClass : unsigned char {
    kHeadPass,
    kHeadStop, // a string, a comment or a dictionary's bracket: the entries end there
    kHeadOpen, // "[" and "]"
    kHeadClose,
    kHeadKeywordJ, // the last bytes of "obj" and of "stream"
    kHeadKeywordM,
};

constexpr std::array<unsigned char, 256> kStreamHeadClasses = [] {
    std::array<unsigned char, 256> classes{};
    for (unsigned char c : {'(', ')', '<', '>', '%', '{', '}'}) {
        classes[c] = kHeadStop;
    }
    classes['['] = kHeadOpen;
    classes[']'] = kHeadClose;
    classes['j'] = kHeadKeywordJ;
    classes['m'] = kHeadKeywordM;
    return classes;
}();

// "N G obj" at the start of text as writers put it: the number (at most 18 digits) equal to
// number, spaces or line ends between the words, a byte after "obj" that ends the word;
// the position after "obj", or npos for any other form.
size_t plainHeaderOf(std::string_view text, int64_t number) {
    const char* const data = text.data();
    const size_t size = text.size();
    size_t pos = 0;
    // One to 18 digits, then spaces or line ends.
    auto word = [&](int64_t& value) {
        const size_t start = pos;
        uint64_t read = 0;
        pos = pdf_syntax::readShortDigits(text, start, 18, read);
        value = static_cast<int64_t>(read);
        if (pos == start || pos >= size || !pdf_syntax::isPlainSpace(data[pos])) {
            return false;
        }
        do {
            ++pos;
        } while (pos < size && pdf_syntax::isPlainSpace(data[pos]));
        return true;
    };
    int64_t named = 0;
    int64_t generation = 0;
    if (!word(named) || named != number || !word(generation) || size - pos < 3 ||
        std::memcmp(data + pos, "obj", 3) != 0 ||
        (pos + 3 < size && pdf_syntax::isRegular(static_cast<unsigned char>(data[pos + 3])))) {
        return npos;
    }
    return pos + 3;
}

} // namespace

size_t CPlainStreamHead::read(std::string_view text, int64_t number) {
    const size_t bodyStart = plainHeaderOf(text, number);
    if (bodyStart == npos) {
        return npos;
    }
    const char* const data = text.data();
    const size_t size = text.size();
    auto skipSpaces = [&](size_t pos) {
        while (pos < size && pdf_syntax::isWhitespace(static_cast<unsigned char>(data[pos]))) {
            ++pos;
        }
        return pos;
    };
    const size_t dict = skipSpaces(bodyStart);
    if (dict + 1 >= size || data[dict] != '<' || data[dict + 1] != '<') {
        return npos;
    }
    // The entries hold no string, comment or bracket of another dictionary, their arrays close
    // in order, and no word could end the object or start the next ("obj", "stream"): the first
    // ">>" closes the dictionary, and no keyword stands before the one after it.
    const size_t entries = dict + 2;
    size_t end = entries;
    size_t arrays = 0;
    for (; end < size; ++end) {
        const unsigned char kind = kStreamHeadClasses[static_cast<unsigned char>(data[end])];
        if (kind == kHeadPass) {
            continue;
        }
        if (kind == kHeadStop) {
            break;
        }
        if (kind == kHeadOpen) {
            ++arrays;
        } else if (kind == kHeadClose) {
            if (arrays == 0) {
                return npos;
            }
            --arrays;
        } else if (kind == kHeadKeywordJ
                       ? end >= entries + 2 && data[end - 1] == 'b' && data[end - 2] == 'o'
                       : end >= entries + 5 && std::memcmp(data + end - 5, "strea", 5) == 0) {
            return npos;
        }
    }
    if (arrays != 0 || end + 1 >= size || data[end + 1] != '>' || data[end] != '>') {
        return npos;
    }
    const size_t keyword = skipSpaces(end + 2);
    if (size - keyword < 6 || std::memcmp(data + keyword, "stream", 6) != 0) {
        return npos;
    }
    return keyword + 6;
}

// A head of the kept shape is read as the kept one was, whatever its numbers: the reading tells
// a digit only from other bytes (none of the bytes it looks for, nor a white-space), and reads
// the header's digits up to the byte after them, the first place's, which is compared here. So
// the kept head's end, moved by the lengths of the numbers, is this one's.
size_t CPlainStreamHead::find(std::string_view text, int64_t number) {
    if (form_.matchBytes(text) && form_.valueAt(text, 0) == static_cast<uint64_t>(number)) {
        return form_.length();
    }
    const size_t end = read(text, number);
    if (end != npos) {
        keep(text, end);
    }
    return end;
}

void CPlainStreamHead::keep(std::string_view text, size_t end) {
    // A number of more digits than a place holds keeps no shape.
    if (end > kMaxKept || !form_.keepHead(text.substr(0, end), {})) {
        form_.forget();
    }
}
