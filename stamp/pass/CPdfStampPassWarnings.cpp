#include "stamp/pass/CPdfStampPass.h"

#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfStream.h"
#include "stamp/fonts/FontTable.h"
#include "stamp/text/TextEncoding.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

// What the pass tells the user about a stamp that is drawn, but not as asked: characters the
// built-in fonts cannot draw, a stamp longer than its page, and a PDF/A input that the stamp
// takes out of conformance. Each is a warning: the output is written as it always is.

namespace {

// XMP packets are small; a larger stream is not read for the claim.
constexpr size_t kMaxMetadataBytes = 4 << 20;

// The value of an XMP property written as an attribute (name="1") or an element
// (<name>1</name>), its first letters or digits; empty when the packet does not hold it.
std::string xmpValue(const std::string& packet, std::string_view name) {
    const size_t at = packet.find(name);
    if (at == std::string::npos) {
        return "";
    }
    size_t pos = at + name.size();
    while (pos < packet.size() && (packet[pos] == ' ' || packet[pos] == '=' || packet[pos] == '"' ||
                                   packet[pos] == '\'' || packet[pos] == '>')) {
        ++pos;
    }
    std::string value;
    while (pos < packet.size() && value.size() < 8 &&
           std::isalnum(static_cast<unsigned char>(packet[pos]))) {
        value += static_cast<char>(std::toupper(static_cast<unsigned char>(packet[pos])));
        ++pos;
    }
    return value;
}

} // namespace

void CPdfStampPass::reportUndrawableCharacters(const StampDefinition& stamp) {
    std::string named;
    for (uint32_t c : text_encoding::undrawableCharacters(page_.composed.text)) {
        if (!tally_.undrawableReported.insert(c).second) {
            continue;
        }
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", c);
        named += named.empty() ? "'" : ", '";
        text_encoding::appendUtf8(named, c);
        named += "' ";
        named += code;
    }
    if (!named.empty()) {
        reporter_.warning("Warning: the built-in font " + stamp.fontName + " cannot draw " + named +
                          ": drawn as '?'; give -embedfont <font file> with a font that has them");
    }
}

void CPdfStampPass::noteStampLength(DrawnStamp& drawn, size_t pageIndex, const PageBox& box,
                                    int32_t rotate, int32_t fontSize) {
    if (tally_.overflowPage != PassTally::kNoPage && tally_.overflowPage <= pageIndex) {
        return;
    }
    const StampDefinition& stamp = *drawn.definition;
    // Plain text is its literal text as it stands, which spares the conversion.
    const float perSize =
        !stamp.embedFontFile.empty()
            ? page_.glyphArrayWidth
            : static_cast<float>(getTextWidth(
                  stamp.fontName, drawn.plainText ? std::string_view(page_.literalText)
                                                  : text_encoding::toWinAnsi(page_.composed.text)));
    const float length = perSize / 1000.0f * static_cast<float>(fontSize);
    // The longest line at the stamp's angle that fits on the page as it is shown; pages of one
    // box and turn share it.
    DrawnStamp::StampRoom& kept = drawn.room;
    if (!kept.known || !(kept.box == box) || kept.rotate != rotate) {
        float width = std::fabs(box.x1 - box.x0);
        float height = std::fabs(box.y1 - box.y0);
        if (((rotate % 180) + 180) % 180 == 90) {
            std::swap(width, height);
        }
        const double radians = static_cast<double>(stamp.angle) * std::numbers::pi / 180.0;
        const double across = std::fabs(std::cos(radians));
        const double up = std::fabs(std::sin(radians));
        double room = 1e30;
        if (across > 1e-6) {
            room = std::min(room, static_cast<double>(width) / across);
        }
        if (up > 1e-6) {
            room = std::min(room, static_cast<double>(height) / up);
        }
        kept = DrawnStamp::StampRoom{box, rotate, room, true};
    }
    const double room = kept.room;
    if (static_cast<double>(length) > room) {
        tally_.overflowPage = pageIndex;
        tally_.overflowLength = length;
        tally_.overflowRoom = static_cast<float>(room);
    }
}

void CPdfStampPass::reportStampLength() {
    if (tally_.overflowPage == PassTally::kNoPage) {
        return;
    }
    reporter_.warning("Warning: the stamp is " +
                      std::to_string(static_cast<int64_t>(std::lround(tally_.overflowLength))) +
                      " points long, longer than page " + std::to_string(tally_.overflowPage + 1) +
                      " of '" + run_.inputNameShown() + "' has room for (" +
                      std::to_string(static_cast<int64_t>(std::lround(tally_.overflowRoom))) +
                      " points): part of it is off the page");
}

std::string CPdfStampPass::pdfaClaim() {
    try {
        CPdfElement catalog;
        xref_->fetchObject(facts_.rootObject, xref_->root().generation, catalog);
        if (!catalog.is(ElementKind::Dictionary)) {
            return "";
        }
        CPdfElement metadata;
        catalog.getDictionary()->getEntry("Metadata", metadata);
        if (!metadata.is(ElementKind::Stream)) {
            return "";
        }
        CPdfStream& stream = *metadata.getStream();
        stream.rewind();
        std::string packet;
        if (!stream.readRest(packet, kMaxMetadataBytes)) {
            return "";
        }
        const std::string part = xmpValue(packet, "pdfaid:part");
        if (part.empty()) {
            return "";
        }
        return "PDF/A-" + part + xmpValue(packet, "pdfaid:conformance");
    } catch (const CPdfException&) {
        return "";
    }
}

void CPdfStampPass::reportPdfaConformance() {
    bool plainFont = false;
    bool seeThrough = false;
    for (const DrawnStamp& drawn : stamps_) {
        plainFont = plainFont || (!drawn.picture && drawn.definition->embedFontFile.empty());
        seeThrough = seeThrough || drawn.definition->opacity < 100;
    }
    if (!plainFont && !seeThrough) {
        return;
    }
    const std::string claim = pdfaClaim();
    if (claim.empty()) {
        return;
    }
    const std::string start = "Warning: '" + run_.inputNameShown() + "' is " + claim;
    if (plainFont) {
        reporter_.warning(start +
                          " and the stamp's font is not embedded: the output no longer "
                          "conforms to " +
                          claim + ": give -embedfont");
    }
    if (seeThrough && claim.rfind("PDF/A-1", 0) == 0) {
        reporter_.warning(start +
                          " and -opacity below 100 draws with transparency, which PDF/A-1 "
                          "does not allow: the output no longer conforms to " +
                          claim);
    }
}
