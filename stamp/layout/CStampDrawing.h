#pragma once

#include "stamp/layout/StampContent.h"
#include "stamp/pass/StampDefinition.h"

#include <array>
#include <string>
#include <string_view>

// The content text of one stamp, page after page. Its pages share the drawing around the text
// (graphics state, matrix, colour, font, box): the numbers change, the rest seldom does. So the
// drawing of the last page is kept and made again only when what it is made of differs. A pass
// holds one for each of its stamps; what it appends is what appendStampContent appends.
//
// The style (the resource names, the colours, under or on top, the artifact's mark, the
// restore and save, text or glyphs) is the stamp's for a whole pass: a pass sets it once, and
// each page then gives only its numbers and its text.
class CStampDrawing {
  public:
    // The content text that in draws, appended to out: its style set, then its page drawn.
    void append(std::string& out, const StampContentInput& in);
    // The style of stamp's drawing for a pass, from its settings (colours, a box, under or on
    // top, text or glyphs), with the names of the resources the pass gave it and whether the
    // document is tagged (the artifact's mark). A setting that changes the drawing is read here
    // and nowhere else.
    static StampStyle styleOf(const StampDefinition& stamp, std::string graphicsStateName,
                              std::string fontResourceName, bool artifact);
    // The style for the pages that follow.
    void setStyle(const StampStyle& style);
    // The page at place in the style set, appended to out; drawn is the operand of Tj or TJ as
    // it stands in the stream: the literal string's text without a zero byte (which the text of
    // append ends at), or with glyphs the array.
    void appendPage(std::string& out, const StampPlace& place, std::string_view drawn);

  private:
    void build();
    // The six numbers of the text matrix as "%f %f %f %f %f %f"; the text of the last matrix is
    // kept, as a change of the box alone keeps the matrix.
    void appendMatrix(std::string& out, const std::array<float, 6>& values);

    bool styled_ = false; // a style is set
    bool built_ = false;  // head_ and tail_ are those of place_ in the style set
    StampPlace place_;
    StampStyle style_;
    // The text before and after the stamp's own text.
    std::string head_;
    std::string tail_;
    std::array<float, 6> matrix_{};
    std::string matrixText_;
};
