#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// What the content text of one stamp stream draws.
struct StampContentInput {
    std::string_view graphicsStateName;
    float x = 0.0f;
    float y = 0.0f;
    float angleRadians = 0.0f;
    std::string_view colorOperator;
    std::string_view fontResourceName;
    int32_t fontSize = 0;
    std::string_view text; // already escaped for a literal string
    // When not empty, the operand of TJ drawn instead of the text ("[<0012> -5 <0034>]").
    std::string_view glyphArray;
    // When not empty, the fill colour of a rectangle drawn behind the text in the text's own
    // space (turned with it): from (boxX, boxY), boxWidth wide and boxHeight high.
    std::string_view boxColorOperator;
    float boxX = 0.0f;
    float boxY = 0.0f;
    float boxWidth = 0.0f;
    float boxHeight = 0.0f;
    // Drawn before the page's own content: the stream goes in front of it and leaves the
    // graphics state as it found it, with a save for the content ("q\n...Q\nq\n").
    bool under = false;
    // The drawing marked as a pagination artifact for the structure of a tagged document.
    bool artifact = false;
    // The restore in front of a stamp on top and the save behind a stamp under the content,
    // which a stream holding several stamps writes once: false leaves them out.
    bool pageWrap = true;
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
