#pragma once

#include <array>
#include <string>
#include <string_view>

// The content text of one picture stamp, page after page: in its own save and restore, the
// stamp's graphics state (its opacity), the matrix that places the image, and the image drawn,
// marked as a pagination artifact in a tagged document. The text of the last matrix is kept, as
// most pages place the picture alike.
class CPictureDrawing {
  public:
    // The resource names of the graphics state and the image, and whether the document is
    // tagged, for the pages that follow.
    void setStyle(std::string_view graphicsStateName, std::string_view imageName, bool artifact);
    // The picture drawn with matrix, appended to out.
    void appendPage(std::string& out, const std::array<float, 6>& matrix);

  private:
    std::string head_; // "q\n/GS gs\n" and the artifact's mark
    std::string tail_; // " cm\n/Im Do\n", the artifact's end and "Q\n"
    bool matrixKnown_ = false;
    std::array<float, 6> matrix_{};
    std::string matrixText_;
};
