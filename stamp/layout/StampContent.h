#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

// How one stamp is drawn around its text: the same on every page of a pass, so a drawing kept
// from the page before is reused while the style compares equal, field by field as declared.
struct StampStyle {
    std::string graphicsStateName;
    std::string colorOperator;
    std::string fontResourceName;
    // When not empty, the fill colour of a rectangle drawn behind the text in the text's own
    // space (turned with it), where the place's box puts it.
    std::string boxColorOperator;
    // The text drawn as glyphs of an embedded font (an array for TJ), not as a literal string.
    bool glyphs = false;
    // Drawn before the page's own content: the stream goes in front of it and leaves the
    // graphics state as it found it, with a save for the content ("q\n...Q\nq\n").
    bool under = false;
    // The drawing marked as a pagination artifact for the structure of a tagged document.
    bool artifact = false;
    // The restore in front of a stamp on top and the save behind a stamp under the content,
    // which a stream holding several stamps writes once: false leaves them out.
    bool pageWrap = true;

    bool operator==(const StampStyle&) const = default;
};

// The numbers of one page's drawing of a stamp: where its text goes, at what angle and size, and
// the box behind it (zero without one).
struct StampPlace {
    float x = 0.0f;
    float y = 0.0f;
    float angleRadians = 0.0f;
    int32_t fontSize = 0;
    float boxX = 0.0f;
    float boxY = 0.0f;
    float boxWidth = 0.0f;
    float boxHeight = 0.0f;

    // Whole and bit for bit, as the numbers print: -0 stays apart from 0 and a NaN matches
    // itself. Padding a later field brings could only make equal places differ, never the reverse.
    friend bool operator==(const StampPlace& a, const StampPlace& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    }
};
static_assert(std::is_trivially_copyable_v<StampPlace>);

// What the content text of one stamp stream draws.
struct StampContentInput {
    StampStyle style;
    StampPlace place;
    std::string_view text; // already escaped for a literal string
    // When not empty, the operand of TJ drawn instead of the text ("[<0012> -5 <0034>]").
    std::string_view glyphArray;
};

// The rectangle behind the text, in the text's own space (points): from the start of the
// baseline, the advance wide, from the descent to the ascent, a quarter of the font size
// added on every side. Advance, descent and ascent are in thousandths of the font size.
struct StampBox {
    float x = 0.0f;
    float y = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
};
StampBox stampBoxRect(float advance, float descent, float ascent, int32_t fontSize);

// The text angle in radians, computed with 3.14 for pi (so 90 degrees gives cos 0.000796).
float stampAngleRadians(float degrees);

// "\nQ\nBT\n/GS gs\n<matrix> Tm\n<colour>\n/F <size> Tf\n(<text>) Tj\nET\n" (or "<glyphs> TJ");
// grows with the text. A box is filled first, in the text's space ("/GS gs\nq\n<matrix> cm\n",
// its colour, "<rect> re\nf\nQ\n"; the text then without its own gs). An artifact is wrapped in
// "/Artifact << /Type /Pagination >> BDC\n" and "EMC\n". Under the content the leading "\nQ\n"
// gives way to "q\n" and "Q\nq\n" ends the stream.
std::string formatStampContent(const StampContentInput& input);
// As formatStampContent, appended to out.
void appendStampContent(std::string& out, const StampContentInput& input);

// The stream text that every stamped page gets besides its stamp stream: "q\n", the save in
// front of the page's contents, or under the content "Q\n", the restore after them.
std::string_view fixedStreamText(bool under);

// The stamp stream object of a page (without its number): its content into content, the whole
// object into object; both buffers are reused from page to page.
void buildStampStream(const StampContentInput& input, std::string& content, std::string& object);

// An unfiltered stream object without its number: " 0 obj", the dictionary with /Length, the
// data and "endstream", "endobj".
std::string formatStreamObject(std::string_view data);
// As formatStreamObject, appended to out.
void appendStreamObject(std::string& out, std::string_view data);

// The fill colour: "c m y k k" when cmyk is not 0, else "r g b rg" from rgb.
std::string formatColorOperator(uint32_t rgb, uint32_t cmyk);

// A text as the content takes it where "%s" put it: up to its first zero byte.
std::string_view untilZero(std::string_view text);
// The values separated by single spaces, each as "%f" writes it.
void appendFixedList(std::string& out, std::initializer_list<float> values);

// The ExtGState object without its number, /ca the opacity percent over 100.
std::string formatGraphicsState(float opacityPercent);
