#include "stamp/text/CTextComposer.h"

#include "stamp/text/CRomanNumeral.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

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

// Room enough for a number as appendNumber writes it: a mask's zeros, a sign and 19 digits, or
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

// The page's number or the page count, roman or decimal; numbers without a roman form are shown
// in decimal, unmasked.
void appendNumber(std::string& out, const StampDefinition& stamp, int64_t value) {
    char digits[kNumberRoom];
    if (stamp.upperRoman || stamp.lowerRoman) {
        if (value < 0 || value > CRomanNumeral::kLargest) {
            out.append(digits, putMaskedDecimal(digits, value, 0));
            return;
        }
        const std::string letters =
            CRomanNumeral().toRoman(static_cast<int32_t>(value), !stamp.upperRoman);
        out.append(std::string_view(letters).substr(0, kNumberRoom));
        return;
    }
    out.append(digits, putMaskedDecimal(digits, value, stamp.maskWidth));
}

} // namespace

CTextComposer::CTextComposer(const StampDefinition& stamp, uint32_t pageCount)
    : stamp_(&stamp), numbered_(!stamp.noPageNumbers), pieces_(!stamp.embedFontFile.empty()) {
    auto endPiece = [&] {
        if (pieces_) {
            tailPieces_.push_back(tail_.size());
        }
    };
    tail_ = stamp.separatorText;
    endPiece();
    if (numbered_ && !stamp.numberOnly) {
        appendNumber(tail_, stamp, pageCount);
        endPiece();
    }
    tail_ += stamp.endText;
    endPiece();
}

void CTextComposer::compose(int32_t number, ComposedText& out) const {
    std::string& text = out.text;
    out.pieces.clear();
    if (stamp_ == nullptr) {
        text.clear();
        return;
    }
    text.assign(stamp_->prefixText);
    if (pieces_) {
        out.pieces.push_back(text.size());
    }
    if (numbered_) {
        appendNumber(text, *stamp_, number);
        if (pieces_) {
            out.pieces.push_back(text.size());
        }
    }
    const size_t tailStart = text.size();
    text += tail_;
    for (size_t end : tailPieces_) {
        out.pieces.push_back(tailStart + end);
    }
}
