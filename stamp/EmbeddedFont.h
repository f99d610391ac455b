#pragma once

#include "stamp/FontFace.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The font of -embedfont for one job: the face is read once, each pass collects the glyphs its
// pages draw, and the pass's font objects (a Type0 font over a CID font, its descriptor, the
// subset font file and the ToUnicode map) are written once all its pages are.
class EmbeddedFont {
  public:
    // How many objects writeObjects gives, in this order: the Type0 font, the CID font, the
    // font descriptor, the font file and the ToUnicode map.
    static constexpr int kObjectCount = 5;

    // Reads the face unless the same file and face is read already; throws CPdfException.
    void open(const std::string& spec);
    // Forgets the glyphs of the pass before.
    void beginPass();

    // The shaped text as the operand of TJ ("[<0012002A> -12.5 <0033>]") into glyphArray, and
    // its advance in thousandths of the font size. The glyphs go into the pass's set.
    void layOut(std::string_view utf8, std::string& glyphArray, float& width);
    // The characters that had no glyph since the last call, each named once in the job.
    std::vector<uint32_t> takeMissingCharacters();

    // The six capital letters before the subset's name, from the glyphs of the pass.
    std::string subsetTag() const;
    // The object texts (each from " 0 obj" to "endobj\n") for objects numbered from first on.
    std::vector<std::string> writeObjects(int32_t first) const;

  private:
    int32_t width1000(uint32_t glyph);
    void noteGlyph(uint32_t glyph, std::string_view clusterText);

    FontFace face_;
    std::string spec_;
    int32_t unitsPerEm_ = 1000;
    std::vector<int32_t> widths_; // per glyph: the /W width, or -1 while not yet needed
    // The pass's glyphs, each with the characters it stands for (the text of its cluster; empty
    // for the further glyphs of a cluster and for .notdef).
    std::map<uint32_t, std::u32string> used_;
    std::set<uint32_t> missingNamed_;
    std::vector<uint32_t> missingNew_;
};

// UTF-8 as code points; a byte that starts no well-formed sequence stands for U+FFFD.
std::u32string decodeUtf8(std::string_view text);
