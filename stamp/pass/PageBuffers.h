#pragma once

#include "stamp/text/ComposeText.h"

#include <string>
#include <string_view>

// The buffers a pass keeps from page to page, so that stamping a page allocates nothing once
// they have grown.
struct PageBuffers {
    // The page's text as the rewrite edits it.
    std::string pageText;
    // The stamp's text composed for the page, and the same as a literal string's text: the
    // composed text itself where nothing in it is escaped or converted, else literalBuffer.
    ComposedText composed;
    std::string_view literalText;
    std::string literalBuffer;
    // The two streams around the page's contents: the stamps under it and the save, then the
    // restore and the stamps on top; their content and their objects.
    std::string firstContent;
    std::string lastContent;
    std::string firstObject;
    std::string lastObject;
    // The objects of a first stream that only saves ("q") and a last one that only restores.
    std::string saveObject;
    std::string restoreObject;
    // -embedfont: the page's text as glyphs and its width in thousandths.
    std::string glyphArray;
    float glyphArrayWidth = 0.0f;
};
