#include "stamp/pass/CPdfStamp.h"

#include "pdf/CPdfException.h"
#include "stamp/fonts/EmbeddedFont.h"
#include "stamp/text/TextEncoding.h"
#include "stamp/write/COutputFile.h"

#include <cstdio>

void CPdfStamp::reserveEmbeddedFontObjects() {
    if (!embeddedFont_) {
        embeddedFont_ = std::make_unique<EmbeddedFont>();
    }
    try {
        embeddedFont_->open(stamp.embedFontFile);
    } catch (const CPdfException& e) {
        throw CPdfException("Font file error", e.message());
    }
    embeddedFont_->beginPass();
    // The rows stay free until the objects are written after the pages; the Type0 font comes
    // first and is what the pages name.
    fontObjectNumber = static_cast<int32_t>(output.reserveRows(EmbeddedFont::kObjectCount));
}

void CPdfStamp::writeEmbeddedFontObjects() {
    if (stamp.embedFontFile.empty()) {
        return;
    }
    const std::vector<std::string> objects = embeddedFont_->writeObjects(fontObjectNumber);
    for (size_t i = 0; i < objects.size(); ++i) {
        const int32_t number = fontObjectNumber + static_cast<int32_t>(i);
        output.setOutputEntry(number, 0, output.offset(), true);
        output.writeObject(number, 0, std::to_string(number) + objects[i], true);
    }
}

void CPdfStamp::layOutEmbeddedText() {
    embeddedFont_->layOut(composed_, composedPieces_, glyphArray_, glyphArrayWidth_);
    // Every character the font cannot draw is named once in the run; the page shows .notdef.
    for (uint32_t c : embeddedFont_->takeMissingCharacters()) {
        std::string character;
        text_encoding::appendUtf8(character, c);
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", c);
        reporter_->warning("Warning: the font '" + stamp.embedFontFile + "' has no glyph for " +
                           code + " '" + character + "': drawn as .notdef");
    }
}
