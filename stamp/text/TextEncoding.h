#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The stamp is drawn with a single-byte WinAnsi font (Windows code page 1252), while arguments
// and text files arrive as UTF-8.
namespace text_encoding {

// The UTF-8 sequence starting at text[pos] (pos < text.size()), pos moved past it. Empty, pos
// unmoved, when the bytes there are no well-formed sequence.
std::optional<uint32_t> decodeUtf8At(std::string_view text, size_t& pos);

// The UTF-8 bytes of code point c (at most U+10FFFF) appended to out.
void appendUtf8(std::string& out, uint32_t c);

// True when text is well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF). Plain ASCII is valid UTF-8.
bool isValidUtf8(std::string_view text);

// Text that is valid UTF-8 is mapped to code page 1252; characters that code page lacks become
// "?". Any other text is taken as code page 1252 already and returned unchanged.
std::string toWinAnsi(std::string_view text);

// The characters of valid UTF-8 text that toWinAnsi turns into "?", in their order, each once;
// none for text that is not valid UTF-8.
std::vector<uint32_t> undrawableCharacters(std::string_view text);

// Code page 1252 bytes as UTF-8 (the five bytes without a character become the C1 controls of
// the same number).
std::string fromWinAnsi(std::string_view text);

} // namespace text_encoding
