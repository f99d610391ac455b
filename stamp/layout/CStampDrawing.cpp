#include "stamp/layout/CStampDrawing.h"

#include "pdf/PdfSyntax.h"

#include <cmath>
#include <cstring>
#include <utility>

void CStampDrawing::append(std::string& out, const StampContentInput& in) {
    // The operand given decides how the text is drawn.
    const bool glyphs = !in.glyphArray.empty();
    if (in.style.glyphs == glyphs) {
        setStyle(in.style);
    } else {
        StampStyle style = in.style;
        style.glyphs = glyphs;
        setStyle(style);
    }
    appendPage(out, in.place, glyphs ? in.glyphArray : untilZero(in.text));
}

StampStyle CStampDrawing::styleOf(const StampDefinition& stamp, std::string graphicsStateName,
                                  std::string fontResourceName, bool artifact) {
    StampStyle style;
    style.graphicsStateName = std::move(graphicsStateName);
    style.fontResourceName = std::move(fontResourceName);
    style.colorOperator = formatColorOperator(stamp.rgbColor, stamp.cmykColor);
    if (stamp.boxSet) {
        style.boxColorOperator = formatColorOperator(stamp.boxColor, 0);
    }
    // An embedded font draws the text as glyphs (an array for TJ).
    style.glyphs = !stamp.embedFontFile.empty();
    style.under = stamp.under;
    style.artifact = artifact;
    return style;
}

void CStampDrawing::setStyle(const StampStyle& style) {
    if (styled_ && style == style_) {
        return;
    }
    style_ = style;
    styled_ = true;
    built_ = false;
}

void CStampDrawing::appendPage(std::string& out, const StampPlace& place, std::string_view drawn) {
    if (!built_ || !(place == place_)) {
        place_ = place;
        build();
        built_ = true;
    }
    out.reserve(out.size() + head_.size() + drawn.size() + tail_.size());
    out += head_;
    out += drawn;
    out += tail_;
}

void CStampDrawing::appendMatrix(std::string& out, const std::array<float, 6>& values) {
    if (matrixText_.empty() || std::memcmp(values.data(), matrix_.data(), sizeof matrix_) != 0) {
        matrixText_.clear();
        appendFixedList(matrixText_,
                        {values[0], values[1], values[2], values[3], values[4], values[5]});
        matrix_ = values;
    }
    out += matrixText_;
}

void CStampDrawing::build() {
    const StampPlace& in = place_;
    const float c = std::cos(in.angleRadians);
    const float s = std::sin(in.angleRadians);
    std::string& out = head_;
    out.clear();
    if (style_.under) {
        out += "q\n";
    } else if (style_.pageWrap) {
        out += "\nQ\n";
    }
    if (style_.artifact) {
        out += "/Artifact << /Type /Pagination >> BDC\n";
    }
    const std::array<float, 6> matrix{c, s, -s, c, in.x, in.y};
    if (!style_.boxColorOperator.empty()) {
        // The graphics state (the opacity) is set for box and text alike; the box is filled in
        // the text's space, which the save and restore around it leave behind.
        out += '/';
        out += untilZero(style_.graphicsStateName);
        out += " gs\nq\n";
        appendMatrix(out, matrix);
        out += " cm\n";
        out += untilZero(style_.boxColorOperator);
        out += '\n';
        appendFixedList(out, {in.boxX, in.boxY, in.boxWidth, in.boxHeight});
        out += " re\nf\nQ\nBT\n";
    } else {
        out += "BT\n/";
        out += untilZero(style_.graphicsStateName);
        out += " gs\n";
    }
    appendMatrix(out, matrix);
    out += " Tm\n";
    out += untilZero(style_.colorOperator);
    out += "\n/";
    out += untilZero(style_.fontResourceName);
    out += ' ';
    pdf_syntax::appendDecimal(out, in.fontSize);
    out += style_.glyphs ? " Tf\n" : " Tf\n(";
    tail_ = style_.glyphs ? " TJ\nET\n" : ") Tj\nET\n";
    if (style_.artifact) {
        tail_ += "EMC\n";
    }
    if (style_.under) {
        tail_ += style_.pageWrap ? "Q\nq\n" : "Q\n";
    }
}
