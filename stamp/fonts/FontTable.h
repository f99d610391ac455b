#pragma once

#include "stamp/pass/StampDefinition.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// One entry of the font table: widths and bounding box in thousandths of the font size.
struct FontMetrics {
    std::string name;
    int32_t bbox[4] = {};
    int32_t widths[256] = {};
};

// The built-in fonts: 161 entries in table order (stamp/fonts/FontData.cpp).
extern const FontMetrics kBuiltinFonts[];
extern const int kBuiltinFontCount;

// The matching key of a name: its ASCII letters only, case kept.
std::string fontMatchingKey(std::string_view name);

// Rebuilds the process-wide font table: the built-in entries, then the entries of the font
// metrics file at path (none when path is empty or the file cannot be opened). True when the
// file was opened and read, whatever fonts it held.
bool buildFontTable(const std::string& path);
// The first entry whose matching key equals that of name, or nullptr.
const FontMetrics* findFont(std::string_view name);
// Sum of the widths of the bytes of text (up to a zero byte) in the font found for fontName;
// 0 when no font matches.
int32_t getTextWidth(std::string_view fontName, std::string_view text);
// The name written in PDF name syntax (without the leading "/"): bytes outside the regular
// printable range, white-space, delimiters and "#" become "#" and two hex digits.
std::string pdfNameEscape(std::string_view name);

// The rows of the font sizes file at path into table: every line takes the next row, numbers
// found or not, up to ten. False, with why in openError, when the file cannot be opened.
bool readFontSizes(const std::string& path, SizeTable& table, std::string& openError);
// The font size for a page of this width: the last row of the stamp's sizes table whose limit
// covers it, else the stamp's base size.
int32_t sizeForPageWidth(const StampDefinition& stamp, int32_t width);
// The TrueType font's descriptor object (without its number); throws for a name of no entry.
std::string writeFontDescriptor(const std::string& fontName);
// The TrueType font object (without its number), named resourceName, with the widths of its
// entry and the descriptor of that number.
std::string writeFontObject(const std::string& fontName, std::string_view resourceName,
                            size_t descriptorNumber);
