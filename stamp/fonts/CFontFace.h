#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One glyph of shaped text. Distances are in font units.
struct ShapedGlyph {
    uint32_t glyph = 0;
    uint32_t cluster = 0; // byte offset of the glyph's first character in the shaped text
    int32_t advance = 0;  // the advance after shaping (kerning included)
    int32_t xOffset = 0;
};

// What the font descriptor of an embedded font says about the face, in font units.
struct FaceMetrics {
    int32_t unitsPerEm = 1000;
    int32_t bbox[4] = {0, 0, 0, 0};
    int32_t ascender = 0;
    int32_t descender = 0;
    int32_t capHeight = 0;
    float italicAngle = 0.0f;
};

// A TrueType or OpenType face read from a font file, shaped and subset with HarfBuzz. Without
// HarfBuzz in the build, load throws and nothing else is reached.
class CFontFace {
  public:
    CFontFace();
    ~CFontFace();
    CFontFace(const CFontFace&) = delete;
    CFontFace& operator=(const CFontFace&) = delete;

    // Whether the build can read font files at all.
    static bool supported();
    // Reads "file" or "file,N" (face N of a collection; face 0 otherwise). Throws
    // CPdfException with the cause when the file cannot be read or holds no usable face.
    void load(const std::string& fontArgument);

    // The glyphs of the UTF-8 text after shaping, in drawing order.
    std::vector<ShapedGlyph> shape(std::string_view utf8) const;
    // The glyph's advance as the font's metrics give it, unshaped.
    int32_t defaultAdvance(uint32_t glyph) const;
    uint32_t glyphCount() const;
    // True for CFF outlines, false for TrueType (glyf) outlines.
    bool isCff() const;
    // The face's PostScript name (a name made from the file's when it has none), as PDF
    // name characters.
    const std::string& postScriptName() const { return postScriptName_; }
    FaceMetrics metrics() const;
    // A font file holding only the given glyphs (and .notdef), each under its own id.
    std::string subset(const std::vector<uint32_t>& glyphs) const;

  private:
    struct Handles;
    std::unique_ptr<Handles> handles_;
    std::string postScriptName_;
};
