#include "stamp/EmbeddedFont.h"

#include "pdf/CPdfException.h"

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

// A TJ adjustment in thousandths of the font size, with at most two decimals.
void appendAdjustment(std::string& out, float value) {
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
std::string widthArray(const std::map<uint32_t, int32_t>& widths) {
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
        out += std::to_string(width);
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
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra = -1; // continuation bytes after the lead byte
        char32_t c = 0;
        if (lead < 0x80) {
            extra = 0;
            c = lead;
        } else if (lead >= 0xC2 && lead < 0xE0) {
            extra = 1;
            c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            extra = 2;
            c = lead & 0x0F;
        } else if (lead >= 0xF0 && lead < 0xF5) {
            extra = 3;
            c = lead & 0x07;
        }
        bool good = extra >= 0 && static_cast<size_t>(extra) < text.size() - i;
        for (int k = 1; good && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((next & 0xC0) != 0x80) {
                good = false;
            }
            c = (c << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are no characters.
        if (good && ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) ||
                     (c >= 0xD800 && c <= 0xDFFF))) {
            good = false;
        }
        if (!good) {
            out += U'\uFFFD';
            ++i;
            continue;
        }
        out += c;
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

void EmbeddedFont::open(const std::string& spec) {
    if (spec == spec_) {
        return;
    }
    spec_.clear();
    face_.load(spec);
    unitsPerEm_ = face_.metrics().unitsPerEm;
    widths_.assign(face_.glyphCount(), -1);
    spec_ = spec;
}

void EmbeddedFont::beginPass() {
    used_.clear();
}

int32_t EmbeddedFont::width1000(uint32_t glyph) {
    if (glyph >= widths_.size()) {
        return 0;
    }
    int32_t& width = widths_[glyph];
    if (width < 0) {
        const double scaled = face_.defaultAdvance(glyph) * 1000.0 / unitsPerEm_;
        width = static_cast<int32_t>(std::lround(std::max(scaled, 0.0)));
    }
    return width;
}

void EmbeddedFont::noteGlyph(uint32_t glyph, std::string_view clusterText) {
    std::u32string& text = used_[glyph];
    // A glyph met first inside another's cluster takes the text of a cluster it starts later.
    if (text.empty() && glyph != 0 && !clusterText.empty()) {
        text = decodeUtf8(clusterText);
    }
}

void EmbeddedFont::layOut(std::string_view utf8, std::string& glyphArray, float& width) {
    const std::vector<ShapedGlyph> glyphs = face_.shape(utf8);
    // Each glyph stands for the text from its cluster to the next cluster in the text.
    std::vector<uint32_t> starts;
    starts.reserve(glyphs.size() + 1);
    for (const ShapedGlyph& g : glyphs) {
        starts.push_back(g.cluster);
    }
    starts.push_back(static_cast<uint32_t>(utf8.size()));
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());

    const float scale = 1000.0f / static_cast<float>(unitsPerEm_);
    glyphArray.clear();
    glyphArray += '[';
    bool inString = false;
    float pending = 0.0f; // the adjustment owed before the next glyph
    double total = 0.0;
    uint32_t previousCluster = UINT32_MAX;
    for (const ShapedGlyph& g : glyphs) {
        const auto next = std::upper_bound(starts.begin(), starts.end(), g.cluster);
        const uint32_t end = next == starts.end() ? static_cast<uint32_t>(utf8.size()) : *next;
        const std::string_view cluster =
            g.cluster < utf8.size() ? utf8.substr(g.cluster, end - g.cluster) : std::string_view();
        if (g.glyph == 0) {
            for (char32_t c : decodeUtf8(cluster)) {
                if (missingNamed_.insert(static_cast<uint32_t>(c)).second) {
                    missingNew_.push_back(static_cast<uint32_t>(c));
                }
            }
        }
        noteGlyph(g.glyph, g.cluster == previousCluster ? std::string_view() : cluster);
        previousCluster = g.cluster;

        pending -= static_cast<float>(g.xOffset) * scale;
        if (std::fabs(pending) >= 0.005f) {
            if (inString) {
                glyphArray += '>';
                inString = false;
            }
            glyphArray += ' ';
            appendAdjustment(glyphArray, pending);
            glyphArray += ' ';
        }
        if (!inString) {
            glyphArray += '<';
            inString = true;
        }
        appendHex4(glyphArray, g.glyph);
        // A TJ number moves the next glyph back by that many thousandths: what the font's
        // width overshoots the shaped advance, the offset undone.
        pending = static_cast<float>(width1000(g.glyph)) - static_cast<float>(g.advance) * scale +
                  static_cast<float>(g.xOffset) * scale;
        total += static_cast<double>(g.advance) * scale;
    }
    if (inString) {
        glyphArray += '>';
    }
    glyphArray += ']';
    width = static_cast<float>(total);
}

std::vector<uint32_t> EmbeddedFont::takeMissingCharacters() {
    std::vector<uint32_t> out;
    out.swap(missingNew_);
    return out;
}

std::string EmbeddedFont::subsetTag() const {
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

std::vector<std::string> EmbeddedFont::writeObjects(int32_t first) const {
    const int32_t cidFont = first + 1;
    const int32_t descriptor = first + 2;
    const int32_t fontFile = first + 3;
    const int32_t toUnicode = first + 4;
    const std::string name = subsetTag() + "+" + face_.postScriptName();
    const bool cff = face_.isCff();

    std::vector<uint32_t> glyphs;
    std::map<uint32_t, int32_t> widths;
    for (const auto& entry : used_) {
        glyphs.push_back(entry.first);
        widths[entry.first] =
            entry.first < widths_.size() && widths_[entry.first] >= 0 ? widths_[entry.first] : 0;
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
