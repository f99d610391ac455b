#include "stamp/picture/CPictureDrawing.h"

#include "stamp/layout/StampContent.h"

#include <cstring>

void CPictureDrawing::setStyle(std::string_view graphicsStateName, std::string_view imageName,
                               bool artifact) {
    head_ = "q\n/";
    head_ += graphicsStateName;
    head_ += " gs\n";
    tail_ = " cm\n/";
    tail_ += imageName;
    tail_ += " Do\n";
    if (artifact) {
        head_ += "/Artifact << /Type /Pagination >> BDC\n";
        tail_ += "EMC\n";
    }
    tail_ += "Q\n";
    matrixKnown_ = false;
}

void CPictureDrawing::appendPage(std::string& out, const std::array<float, 6>& matrix) {
    // Compared by their bits: a NaN matches itself, and -0 stays apart from 0.
    if (!matrixKnown_ || std::memcmp(matrix.data(), matrix_.data(), sizeof matrix_) != 0) {
        matrixText_.clear();
        appendFixedList(matrixText_,
                        {matrix[0], matrix[1], matrix[2], matrix[3], matrix[4], matrix[5]});
        matrix_ = matrix;
        matrixKnown_ = true;
    }
    out += head_;
    out += matrixText_;
    out += tail_;
}
