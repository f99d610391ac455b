#include "stamp/CPdfStamp.h"

#include "pdf/CPdfException.h"
#include "stamp/COutputFile.h"
#include "stamp/EmbeddedFont.h"

#include <cstdio>

namespace {

// The character as UTF-8, for the warning line.
std::string utf8Of(uint32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

} // namespace

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
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", c);
        reporter_->warning("Warning: the font '" + stamp.embedFontFile + "' has no glyph for " +
                           code + " '" + utf8Of(c) + "': drawn as .notdef");
    }
}
