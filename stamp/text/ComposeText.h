#pragma once

#include "stamp/pass/StampDefinition.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The stamp's text for one page, UTF-8 as the user wrote it.
struct ComposedText {
    std::string text;
    // With an embedded font: where each piece (prefix, number, separator, count, end) ends, as
    // the font shapes them one by one; empty otherwise.
    std::vector<size_t> pieces;
};

// The text of the page shown as number, of pageCount pages: prefix, number, separator, count
// and end as the stamp asks, numbers masked or roman. Into out, whose buffers are reused.
void composeText(const StampDefinition& stamp, int32_t number, uint32_t pageCount,
                 ComposedText& out);
ComposedText composeText(const StampDefinition& stamp, int32_t number, uint32_t pageCount);

// The composed text as the operand of "(...) Tj" in the WinAnsi font: converted from UTF-8 where
// it is not plain ASCII, up to its first zero byte, parentheses escaped.
void toLiteralText(std::string_view text, std::string& out);
