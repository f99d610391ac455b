#pragma once

#include "stamp/fonts/CFontFace.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The font of -embedfont for one job: the face is read once, each pass collects the glyphs its
// pages draw, and the pass's font objects (a Type0 font over a CID font, its descriptor, the
// subset font file and the ToUnicode map) are written once all its pages are.
class CEmbeddedFont {
  public:
    // How many objects writeObjects gives, in this order: the Type0 font, the CID font, the
    // font descriptor, the font file and the ToUnicode map.
    static constexpr int kObjectCount = 5;

    // Reads the face unless the same file and face is read already; throws CPdfException.
    void open(const std::string& fontArgument);
    // Forgets the glyphs of the pass before.
    void beginPass();

    // The shaped text as the operand of TJ ("[<0012002A> -12 <0033>]") into glyphArray, and
    // its advance in thousandths of the font size. The glyphs go into the pass's set.
    // pieceEnds (rising) cut the text into pieces that are shaped on their own: prefix, number,
    // separator, count and end (text past the last end is one more piece). Each piece is shaped
    // once for the job, a page number digit by digit where the digits allow it; what is lost is
    // kerning and joining across the border of two pieces.
    void layOut(std::string_view utf8, const std::vector<size_t>& pieceEnds,
                std::string& glyphArray, float& width);
    // The characters that had no glyph since the last call, each named once in the job.
    std::vector<uint32_t> takeMissingCharacters();

    // The face's descender (negative) and ascender in thousandths of the font size.
    float descent() const { return descent_; }
    float ascent() const { return ascent_; }

    // The six capital letters before the subset's name, from the glyphs of the pass.
    std::string subsetTag() const;
    // The object texts (each from " 0 obj" to "endobj\n") for objects numbered from first on.
    std::vector<std::string> writeObjects(int32_t first) const;

  private:
    // A piece of text shaped and written as TJ operands, kept for the pages that show it again.
    struct PieceLayout {
        std::vector<ShapedGlyph> glyphs;
        std::string fragment; // "<hex glyphs> 12 <hex glyphs>"
        double advance = 0.0; // thousandths of the font size
        float owed = 0.0f;    // what the fragment leaves owed, paid before the next piece
        uint64_t notedInPass = 0;
    };
    float width1000(uint32_t glyph);
    // The piece shaped and laid out, once while the cache has room.
    PieceLayout& layOutPiece(std::string_view piece);
    // Adds the piece's glyphs to the pass's set and names the characters without glyph.
    void notePiece(std::string_view piece, const PieceLayout& layout);
    // The piece's glyphs appended to the TJ operand, what it owes carried on.
    void appendPiece(std::string_view piece, std::string& glyphArray, float& owed, double& total);
    // Whether a run of digits lays out as its digits one by one (tested once for the face).
    bool digitsCompose();

    CFontFace face_;
    std::string loadedFont_;
    int32_t unitsPerEm_ = 1000;
    float descent_ = 0.0f;
    float ascent_ = 0.0f;
    std::vector<float> widths_; // per glyph: the /W width, or -1 while not yet needed
    // The pass's glyphs, each with the characters it stands for (the text of its cluster; empty
    // for the further glyphs of a cluster and for .notdef).
    std::map<uint32_t, std::u32string> used_;
    std::vector<bool> noted_; // per glyph: in used_ with its text
    // Looked up by string_view, without a copy of the key.
    struct PieceHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>()(text);
        }
    };
    std::unordered_map<std::string, PieceLayout, PieceHash, std::equal_to<>> pieceCache_;
    uint64_t pass_ = 0;
    int digitsCompose_ = 0; // 0 not yet known, 1 yes, -1 no
    std::set<uint32_t> missingNamed_;
    std::vector<uint32_t> missingNew_;
};

// UTF-8 as code points; a byte that starts no well-formed sequence stands for U+FFFD.
std::u32string decodeUtf8(std::string_view text);
