#include "stamp/fonts/CEmbeddedFont.h"

#include "pdf/CPdfException.h"
#include "pdf/PdfSyntax.h"
#include "stamp/text/TextEncoding.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

void appendHex4(std::string& out, uint32_t value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (int shift = 12; shift >= 0; shift -= 4) {
        out += kHex[(value >> shift) & 0xF];
    }
}

void appendUtf16(std::string& out, char32_t c) {
    if (c > 0xFFFF) {
        const uint32_t v = static_cast<uint32_t>(c) - 0x10000;
        appendHex4(out, 0xD800 + (v >> 10));
        appendHex4(out, 0xDC00 + (v & 0x3FF));
    } else {
        appendHex4(out, static_cast<uint32_t>(c));
    }
}

// A width with at most two decimals, without trailing zeros.
void appendDecimal(std::string& out, float value) {
    char text[32];
    const auto written =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    std::string_view number(text, static_cast<size_t>(written.ptr - text));
    while (number.back() == '0') {
        number.remove_suffix(1);
    }
    if (number.back() == '.') {
        number.remove_suffix(1);
    }
    out += number;
}

std::string deflated(const std::string& data) {
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    std::string out(length, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &length,
                  reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                  Z_BEST_COMPRESSION) != Z_OK) {
        throw CPdfException("Out of memory");
    }
    out.resize(length);
    return out;
}

std::string streamObject(const std::string& entries, const std::string& data) {
    return " 0 obj\n<<\n/Length " + std::to_string(data.size()) + "\n" + entries + ">>\nstream\n" +
           data + "\nendstream\nendobj\n";
}

std::string reference(int32_t number) {
    return std::to_string(number) + " 0 R";
}

// The glyphs' widths as /W runs: "first [w w w]" for each run of consecutive glyph ids.
std::string widthArray(const std::map<uint32_t, float>& widths) {
    std::string out = "[";
    uint32_t next = 0;
    bool open = false;
    for (const auto& [glyph, width] : widths) {
        if (!open || glyph != next) {
            if (open) {
                out += "]\n";
            }
            out += std::to_string(glyph) + " [";
            open = true;
        } else {
            out += ' ';
        }
        appendDecimal(out, width);
        next = glyph + 1;
    }
    if (open) {
        out += ']';
    }
    out += ']';
    return out;
}

std::string toUnicodeMap(const std::map<uint32_t, std::u32string>& used) {
    std::vector<std::pair<uint32_t, const std::u32string*>> rows;
    for (const auto& [glyph, text] : used) {
        if (!text.empty()) {
            rows.emplace_back(glyph, &text);
        }
    }
    std::string out = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    // A bfchar block holds at most 100 rows.
    for (size_t first = 0; first < rows.size(); first += 100) {
        const size_t last = std::min(rows.size(), first + 100);
        out += std::to_string(last - first) + " beginbfchar\n";
        for (size_t i = first; i < last; ++i) {
            out += '<';
            appendHex4(out, rows[i].first);
            out += "> <";
            for (char32_t c : *rows[i].second) {
                appendUtf16(out, c);
            }
            out += ">\n";
        }
        out += "endbfchar\n";
    }
    out += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return out;
}

} // namespace

std::u32string decodeUtf8(std::string_view text) {
    std::u32string out;
    size_t i = 0;
    while (i < text.size()) {
        // A byte that starts no well-formed sequence stands for U+FFFD on its own.
        if (const std::optional<uint32_t> c = text_encoding::decodeUtf8At(text, i)) {
            out += static_cast<char32_t>(*c);
        } else {
            out += U'\uFFFD';
            ++i;
        }
    }
    return out;
}

void CEmbeddedFont::open(const std::string& fontArgument) {
    if (fontArgument == loadedFont_) {
        return;
    }
    loadedFont_.clear();
    face_.load(fontArgument);
    const FaceMetrics metrics = face_.metrics();
    unitsPerEm_ = metrics.unitsPerEm > 0 ? metrics.unitsPerEm : 1000;
    descent_ = static_cast<float>(metrics.descender) * 1000.0f / static_cast<float>(unitsPerEm_);
    ascent_ = static_cast<float>(metrics.ascender) * 1000.0f / static_cast<float>(unitsPerEm_);
    widths_.assign(face_.glyphCount(), -1.0f);
    loadedFont_ = fontArgument;
}

void CEmbeddedFont::beginPass() {
    ++pass_;
    used_.clear();
    noted_.assign(widths_.size(), false);
}

float CEmbeddedFont::width1000(uint32_t glyph) {
    if (glyph >= widths_.size()) {
        return 0.0f;
    }
    float& width = widths_[glyph];
    if (width < 0.0f) {
        // Two decimals, as /W gives it.
        const double scaled = face_.defaultAdvance(glyph) * 1000.0 / unitsPerEm_;
        width = static_cast<float>(std::round(std::max(scaled, 0.0) * 100.0) / 100.0);
    }
    return width;
}

namespace {

// Appends a TJ number (thousandths of the font size that the next glyph moves back by) when
// owed has reached a whole one, and keeps the rest owed.
void payWhole(std::string& out, float& owed) {
    const float whole = std::trunc(owed);
    if (whole == 0.0f) {
        return;
    }
    out += ' ';
    pdf_syntax::appendDecimal(out, static_cast<int32_t>(whole));
    out += ' ';
    owed -= whole;
}

} // namespace

CEmbeddedFont::PieceLayout& CEmbeddedFont::layOutPiece(std::string_view piece) {
    // Numbers seldom come back; the cache is emptied when full rather than kept in order.
    constexpr size_t kCachedPieces = 4096;
    const auto found = pieceCache_.find(piece);
    if (found != pieceCache_.end()) {
        return found->second;
    }
    if (pieceCache_.size() >= kCachedPieces) {
        pieceCache_.clear();
    }
    PieceLayout layout;
    layout.glyphs = face_.shape(piece);
    const float scale = 1000.0f / static_cast<float>(unitsPerEm_);
    // What the glyphs are owed against their /W widths, in thousandths of the font size.
    float owed = 0.0f;
    bool inString = false;
    for (const ShapedGlyph& g : layout.glyphs) {
        const float advance = static_cast<float>(g.advance) * scale;
        const float offset = static_cast<float>(g.xOffset) * scale;
        owed -= offset;
        if (std::fabs(owed) >= 1.0f) {
            if (inString) {
                layout.fragment += '>';
                inString = false;
            }
            payWhole(layout.fragment, owed);
        }
        if (!inString) {
            layout.fragment += '<';
            inString = true;
        }
        appendHex4(layout.fragment, g.glyph);
        // The width draws the glyph further than the shaped advance goes; the offset is undone.
        owed += width1000(g.glyph) - advance + offset;
        layout.advance += static_cast<double>(advance);
    }
    if (inString) {
        layout.fragment += '>';
    }
    layout.owed = owed;
    return pieceCache_.emplace(std::string(piece), std::move(layout)).first->second;
}

void CEmbeddedFont::notePiece(std::string_view piece, const PieceLayout& layout) {
    const std::vector<ShapedGlyph>& glyphs = layout.glyphs;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        const ShapedGlyph& g = glyphs[i];
        if (g.glyph < noted_.size() && noted_[g.glyph]) {
            continue;
        }
        // The glyph stands for the text from its cluster to the next cluster of the piece; the
        // further glyphs of a cluster stand for none.
        size_t end = piece.size();
        for (const ShapedGlyph& other : glyphs) {
            if (other.cluster > g.cluster && other.cluster < end) {
                end = other.cluster;
            }
        }
        const bool firstOfCluster = i == 0 || glyphs[i - 1].cluster != g.cluster;
        const std::string_view cluster = g.cluster < piece.size()
                                             ? piece.substr(g.cluster, end - g.cluster)
                                             : std::string_view();
        if (g.glyph == 0) {
            used_.try_emplace(0);
            for (char32_t c : decodeUtf8(cluster)) {
                if (missingNamed_.insert(static_cast<uint32_t>(c)).second) {
                    missingNew_.push_back(static_cast<uint32_t>(c));
                }
            }
            continue;
        }
        std::u32string& text = used_[g.glyph];
        // A glyph met first inside another's cluster takes the text of a cluster it starts
        // later.
        if (firstOfCluster && !cluster.empty()) {
            text = decodeUtf8(cluster);
            if (g.glyph < noted_.size()) {
                noted_[g.glyph] = true;
            }
        }
    }
}

bool CEmbeddedFont::digitsCompose() {
    if (digitsCompose_ == 0) {
        // Every digit one glyph, and every pair of digits the two glyphs with the same
        // advances: no kerning, ligature or contextual form between digits.
        bool compose = true;
        char pair[2];
        for (char a = '0'; a <= '9' && compose; ++a) {
            const std::vector<ShapedGlyph> first = layOutPiece(std::string_view(&a, 1)).glyphs;
            for (char b = '0'; b <= '9' && compose; ++b) {
                const std::vector<ShapedGlyph> second = layOutPiece(std::string_view(&b, 1)).glyphs;
                pair[0] = a;
                pair[1] = b;
                const std::vector<ShapedGlyph> both = face_.shape(std::string_view(pair, 2));
                compose = first.size() == 1 && second.size() == 1 && both.size() == 2 &&
                          both[0].glyph == first[0].glyph && both[1].glyph == second[0].glyph &&
                          both[0].advance == first[0].advance &&
                          both[1].advance == second[0].advance && both[0].xOffset == 0 &&
                          both[1].xOffset == 0 && first[0].xOffset == 0 && second[0].xOffset == 0;
            }
        }
        digitsCompose_ = compose ? 1 : -1;
    }
    return digitsCompose_ > 0;
}

void CEmbeddedFont::appendPiece(std::string_view piece, std::string& glyphArray, float& owed,
                                double& total) {
    PieceLayout& layout = layOutPiece(piece);
    if (layout.notedInPass != pass_) {
        notePiece(piece, layout);
        layout.notedInPass = pass_;
    }
    payWhole(glyphArray, owed);
    glyphArray += layout.fragment;
    owed += layout.owed;
    total += layout.advance;
}

void CEmbeddedFont::layOut(std::string_view utf8, const std::vector<size_t>& pieceEnds,
                           std::string& glyphArray, float& width) {
    glyphArray.clear();
    glyphArray += '[';
    // What a piece leaves owed (less than one) is carried into the gap before the next.
    float owed = 0.0f;
    double total = 0.0;
    size_t start = 0;
    for (size_t end : pieceEnds) {
        if (end <= start || end > utf8.size()) {
            continue;
        }
        const std::string_view piece = utf8.substr(start, end - start);
        start = end;
        // A page number is new on every page; where the font's digits do not act on each
        // other, it is laid out digit by digit from the cache instead of shaped.
        const bool digits =
            std::all_of(piece.begin(), piece.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (digits && piece.size() > 1 && digitsCompose()) {
            for (size_t i = 0; i < piece.size(); ++i) {
                appendPiece(piece.substr(i, 1), glyphArray, owed, total);
            }
            continue;
        }
        appendPiece(piece, glyphArray, owed, total);
    }
    if (start < utf8.size()) {
        appendPiece(utf8.substr(start), glyphArray, owed, total);
    }
    glyphArray += ']';
    width = static_cast<float>(total);
}

std::vector<uint32_t> CEmbeddedFont::takeMissingCharacters() {
    std::vector<uint32_t> out;
    out.swap(missingNew_);
    return out;
}

std::string CEmbeddedFont::subsetTag() const {
    // FNV-1a over the glyph ids and the font's name.
    uint64_t hash = 14695981039346656037ULL;
    auto mix = [&hash](uint8_t byte) {
        hash ^= byte;
        hash *= 1099511628211ULL;
    };
    for (const auto& entry : used_) {
        for (int shift = 0; shift < 32; shift += 8) {
            mix(static_cast<uint8_t>(entry.first >> shift));
        }
    }
    for (char c : face_.postScriptName()) {
        mix(static_cast<uint8_t>(c));
    }
    std::string tag(6, 'A');
    for (char& letter : tag) {
        letter = static_cast<char>('A' + hash % 26);
        hash /= 26;
    }
    return tag;
}

std::vector<std::string> CEmbeddedFont::writeObjects(int32_t first) const {
    const int32_t cidFont = first + 1;
    const int32_t descriptor = first + 2;
    const int32_t fontFile = first + 3;
    const int32_t toUnicode = first + 4;
    const std::string name = subsetTag() + "+" + face_.postScriptName();
    const bool cff = face_.isCff();

    std::vector<uint32_t> glyphs;
    std::map<uint32_t, float> widths;
    for (const auto& entry : used_) {
        glyphs.push_back(entry.first);
        widths[entry.first] =
            entry.first < widths_.size() && widths_[entry.first] >= 0 ? widths_[entry.first] : 0.0f;
    }

    std::vector<std::string> objects;
    objects.push_back(" 0 obj\n<<\n/Type /Font\n/Subtype /Type0\n/BaseFont /" + name +
                      "\n/Encoding /Identity-H\n/DescendantFonts [" + reference(cidFont) +
                      "]\n/ToUnicode " + reference(toUnicode) + "\n>>\nendobj\n");
    objects.push_back(" 0 obj\n<<\n/Type /Font\n/Subtype /" +
                      std::string(cff ? "CIDFontType0" : "CIDFontType2") + "\n/BaseFont /" + name +
                      "\n/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 "
                      ">>\n/FontDescriptor " +
                      reference(descriptor) + "\n/DW 0\n/W " + widthArray(widths) + "\n" +
                      (cff ? "" : "/CIDToGIDMap /Identity\n") + ">>\nendobj\n");

    const FaceMetrics m = face_.metrics();
    const double scale = 1000.0 / m.unitsPerEm;
    auto scaled = [scale](int32_t v) { return std::to_string(std::lround(v * scale)); };
    char angle[32];
    std::snprintf(angle, sizeof angle, "%.2f", static_cast<double>(m.italicAngle));
    // Flags 4: the font's characters are outside the standard Latin set.
    objects.push_back(" 0 obj\n<<\n/Type /FontDescriptor\n/FontName /" + name +
                      "\n/Flags 4\n/FontBBox [" + scaled(m.bbox[0]) + " " + scaled(m.bbox[1]) +
                      " " + scaled(m.bbox[2]) + " " + scaled(m.bbox[3]) + "]\n/ItalicAngle " +
                      angle + "\n/Ascent " + scaled(m.ascender) + "\n/Descent " +
                      scaled(m.descender) + "\n/CapHeight " + scaled(m.capHeight) +
                      "\n/StemV 80\n" + (cff ? "/FontFile3 " : "/FontFile2 ") +
                      reference(fontFile) + "\n>>\nendobj\n");

    const std::string program = face_.subset(glyphs);
    std::string entries = "/Filter /FlateDecode\n";
    entries += cff ? "/Subtype /OpenType\n" : "/Length1 " + std::to_string(program.size()) + "\n";
    objects.push_back(streamObject(entries, deflated(program)));
    objects.push_back(streamObject("", toUnicodeMap(used_)));
    return objects;
}
