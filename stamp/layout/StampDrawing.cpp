#include "stamp/layout/StampDrawing.h"

#include "pdf/PdfSyntax.h"

#include <cmath>
#include <cstring>

namespace {

// Floats compare by their bits: a NaN matches itself, and -0 stays apart from 0.
bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameText(std::string_view a, const std::string& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

} // namespace

void StampDrawing::append(std::string& out, const StampContentInput& in) {
    if (!valid_ || !sameAsLast(in)) {
        remember(in);
        build(in);
        valid_ = true;
    }
    const std::string_view drawn = in.glyphArray.empty() ? untilZero(in.text) : in.glyphArray;
    out.reserve(out.size() + head_.size() + drawn.size() + tail_.size());
    out += head_;
    out += drawn;
    out += tail_;
}

bool StampDrawing::sameAsLast(const StampContentInput& in) const {
    return in.fontSize == fontSize_ && in.under == under_ && in.artifact == artifact_ &&
           in.pageWrap == pageWrap_ && in.glyphArray.empty() == !glyphs_ && sameBits(in.x, x_) &&
           sameBits(in.y, y_) && sameBits(in.angleRadians, angleRadians_) &&
           sameBits(in.boxX, boxX_) && sameBits(in.boxY, boxY_) &&
           sameBits(in.boxWidth, boxWidth_) && sameBits(in.boxHeight, boxHeight_) &&
           sameText(in.graphicsStateName, graphicsStateName_) &&
           sameText(in.fontResourceName, fontResourceName_) &&
           sameText(in.colorOperator, colorOperator_) &&
           sameText(in.boxColorOperator, boxColorOperator_);
}

void StampDrawing::remember(const StampContentInput& in) {
    fontSize_ = in.fontSize;
    under_ = in.under;
    artifact_ = in.artifact;
    pageWrap_ = in.pageWrap;
    glyphs_ = !in.glyphArray.empty();
    x_ = in.x;
    y_ = in.y;
    angleRadians_ = in.angleRadians;
    boxX_ = in.boxX;
    boxY_ = in.boxY;
    boxWidth_ = in.boxWidth;
    boxHeight_ = in.boxHeight;
    graphicsStateName_.assign(in.graphicsStateName);
    colorOperator_.assign(in.colorOperator);
    fontResourceName_.assign(in.fontResourceName);
    boxColorOperator_.assign(in.boxColorOperator);
}

void StampDrawing::appendMatrix(std::string& out, const std::array<float, 6>& values) {
    if (matrixText_.empty() || std::memcmp(values.data(), matrix_.data(), sizeof matrix_) != 0) {
        matrixText_.clear();
        appendFixedList(matrixText_,
                        {values[0], values[1], values[2], values[3], values[4], values[5]});
        matrix_ = values;
    }
    out += matrixText_;
}

void StampDrawing::build(const StampContentInput& in) {
    const float c = std::cos(in.angleRadians);
    const float s = std::sin(in.angleRadians);
    std::string& out = head_;
    out.clear();
    if (in.under) {
        out += "q\n";
    } else if (in.pageWrap) {
        out += "\nQ\n";
    }
    if (in.artifact) {
        out += "/Artifact << /Type /Pagination >> BDC\n";
    }
    const std::array<float, 6> matrix{c, s, -s, c, in.x, in.y};
    if (!in.boxColorOperator.empty()) {
        // The graphics state (the opacity) is set for box and text alike; the box is filled in
        // the text's space, which the save and restore around it leave behind.
        out += '/';
        out += untilZero(in.graphicsStateName);
        out += " gs\nq\n";
        appendMatrix(out, matrix);
        out += " cm\n";
        out += untilZero(in.boxColorOperator);
        out += '\n';
        appendFixedList(out, {in.boxX, in.boxY, in.boxWidth, in.boxHeight});
        out += " re\nf\nQ\nBT\n";
    } else {
        out += "BT\n/";
        out += untilZero(in.graphicsStateName);
        out += " gs\n";
    }
    appendMatrix(out, matrix);
    out += " Tm\n";
    out += untilZero(in.colorOperator);
    out += "\n/";
    out += untilZero(in.fontResourceName);
    out += ' ';
    pdfsyntax::appendDecimal(out, in.fontSize);
    out += in.glyphArray.empty() ? " Tf\n(" : " Tf\n";
    tail_ = in.glyphArray.empty() ? ") Tj\nET\n" : " TJ\nET\n";
    if (in.artifact) {
        tail_ += "EMC\n";
    }
    if (in.under) {
        tail_ += in.pageWrap ? "Q\nq\n" : "Q\n";
    }
}
