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
    setStyle(in);
    StampPlace place;
    place.x = in.x;
    place.y = in.y;
    place.angleRadians = in.angleRadians;
    place.fontSize = in.fontSize;
    place.boxX = in.boxX;
    place.boxY = in.boxY;
    place.boxWidth = in.boxWidth;
    place.boxHeight = in.boxHeight;
    appendPage(out, place, in.glyphArray.empty() ? untilZero(in.text) : in.glyphArray);
}

void StampDrawing::setStyle(const StampContentInput& in) {
    if (styled_ && sameStyle(in)) {
        return;
    }
    under_ = in.under;
    artifact_ = in.artifact;
    pageWrap_ = in.pageWrap;
    glyphs_ = !in.glyphArray.empty();
    graphicsStateName_.assign(in.graphicsStateName);
    colorOperator_.assign(in.colorOperator);
    fontResourceName_.assign(in.fontResourceName);
    boxColorOperator_.assign(in.boxColorOperator);
    styled_ = true;
    built_ = false;
}

void StampDrawing::appendPage(std::string& out, const StampPlace& place, std::string_view drawn) {
    if (!built_ || !samePlace(place)) {
        place_ = place;
        build();
        built_ = true;
    }
    out.reserve(out.size() + head_.size() + drawn.size() + tail_.size());
    out += head_;
    out += drawn;
    out += tail_;
}

bool StampDrawing::sameStyle(const StampContentInput& in) const {
    return in.under == under_ && in.artifact == artifact_ && in.pageWrap == pageWrap_ &&
           in.glyphArray.empty() == !glyphs_ &&
           sameText(in.graphicsStateName, graphicsStateName_) &&
           sameText(in.fontResourceName, fontResourceName_) &&
           sameText(in.colorOperator, colorOperator_) &&
           sameText(in.boxColorOperator, boxColorOperator_);
}

bool StampDrawing::samePlace(const StampPlace& place) const {
    return place.fontSize == place_.fontSize && sameBits(place.x, place_.x) &&
           sameBits(place.y, place_.y) && sameBits(place.angleRadians, place_.angleRadians) &&
           sameBits(place.boxX, place_.boxX) && sameBits(place.boxY, place_.boxY) &&
           sameBits(place.boxWidth, place_.boxWidth) && sameBits(place.boxHeight, place_.boxHeight);
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

void StampDrawing::build() {
    const StampPlace& in = place_;
    const float c = std::cos(in.angleRadians);
    const float s = std::sin(in.angleRadians);
    std::string& out = head_;
    out.clear();
    if (under_) {
        out += "q\n";
    } else if (pageWrap_) {
        out += "\nQ\n";
    }
    if (artifact_) {
        out += "/Artifact << /Type /Pagination >> BDC\n";
    }
    const std::array<float, 6> matrix{c, s, -s, c, in.x, in.y};
    if (!boxColorOperator_.empty()) {
        // The graphics state (the opacity) is set for box and text alike; the box is filled in
        // the text's space, which the save and restore around it leave behind.
        out += '/';
        out += untilZero(graphicsStateName_);
        out += " gs\nq\n";
        appendMatrix(out, matrix);
        out += " cm\n";
        out += untilZero(boxColorOperator_);
        out += '\n';
        appendFixedList(out, {in.boxX, in.boxY, in.boxWidth, in.boxHeight});
        out += " re\nf\nQ\nBT\n";
    } else {
        out += "BT\n/";
        out += untilZero(graphicsStateName_);
        out += " gs\n";
    }
    appendMatrix(out, matrix);
    out += " Tm\n";
    out += untilZero(colorOperator_);
    out += "\n/";
    out += untilZero(fontResourceName_);
    out += ' ';
    pdfsyntax::appendDecimal(out, in.fontSize);
    out += glyphs_ ? " Tf\n" : " Tf\n(";
    tail_ = glyphs_ ? " TJ\nET\n" : ") Tj\nET\n";
    if (artifact_) {
        tail_ += "EMC\n";
    }
    if (under_) {
        tail_ += pageWrap_ ? "Q\nq\n" : "Q\n";
    }
}
