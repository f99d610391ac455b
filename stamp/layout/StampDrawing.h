#pragma once

#include "stamp/layout/StampContent.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The content text of one stamp, page after page. Its pages share the drawing around the text
// (graphics state, matrix, colour, font, box): the numbers change, the rest seldom does. So the
// drawing of the last page is kept and made again only when what it is made of differs. A pass
// holds one for each of its stamps; what it appends is what appendStampContent appends.
class StampDrawing {
  public:
    // The content text that in draws, appended to out.
    void append(std::string& out, const StampContentInput& in);

  private:
    bool sameAsLast(const StampContentInput& in) const;
    void remember(const StampContentInput& in);
    void build(const StampContentInput& in);
    // The six numbers of the text matrix as "%f %f %f %f %f %f"; the text of the last matrix is
    // kept, as a change of the box alone keeps the matrix.
    void appendMatrix(std::string& out, const std::array<float, 6>& values);

    bool valid_ = false;
    int32_t fontSize_ = 0;
    bool under_ = false;
    bool artifact_ = false;
    bool pageWrap_ = false;
    bool glyphs_ = false;
    float x_ = 0.0f;
    float y_ = 0.0f;
    float angleRadians_ = 0.0f;
    float boxX_ = 0.0f;
    float boxY_ = 0.0f;
    float boxWidth_ = 0.0f;
    float boxHeight_ = 0.0f;
    std::string graphicsStateName_;
    std::string colorOperator_;
    std::string fontResourceName_;
    std::string boxColorOperator_;
    // The text before and after the stamp's own text.
    std::string head_;
    std::string tail_;
    std::array<float, 6> matrix_{};
    std::string matrixText_;
};
