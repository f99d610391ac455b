#include "support/StickerPdf.h"

#include "support/PdfBuilder.h"

namespace qm_test {

std::string makeStickerPdf(const StickerLayout& layout) {
    const std::string o = std::to_string(layout.origin);
    const std::string box = "[" + o + " " + o + " " + std::to_string(layout.origin + 200) + " " +
                            std::to_string(layout.origin + 100) + "]";
    const std::string move = "1 0 0 1 " + o + " " + o + " cm\n";
    const std::string green = "0 1 0 rg 0 0 100 100 re f\n";
    const std::string rest = "q 100 0 0 100 100 0 cm /Im1 Do Q\n"
                             "0 0 0 rg BT /F1 12 Tf 5 86 Td (STICKER) Tj ET\n";
    const std::string contents = layout.twoStreams ? "[5 0 R 6 0 R]" : "5 0 R";
    const std::string catalog = "<< /Type /Catalog /Pages 2 0 R >>";
    const std::string pages = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
    const std::string page = "<< /Type /Page /Parent 2 0 R /MediaBox " + box +
                             " /Resources 4 0 R /Contents " + contents + " /Annots [9 0 R] " +
                             layout.pageExtra + " >>";
    const std::string resources = "<< /Font << /F1 7 0 R >> /XObject << /Im1 8 0 R >> >>";
    const std::string font = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";

    PdfBuilder pdf;
    if (layout.objectStreams) {
        pdf.compressed(1, catalog).compressed(2, pages).compressed(3, page);
        pdf.compressed(4, resources).compressed(7, font).objectStream(10);
    } else {
        pdf.object(1, catalog).object(2, pages).object(3, page).object(4, resources);
        pdf.object(7, font);
    }
    if (layout.twoStreams) {
        pdf.stream(5, "", "q " + move + green + "Q\n").stream(6, "", "q " + move + rest + "Q\n");
    } else {
        pdf.stream(5, "", move + green + rest, true);
    }
    pdf.stream(8,
               "/Type /XObject /Subtype /Image /Width 2 /Height 2 /ColorSpace /DeviceRGB "
               "/BitsPerComponent 8",
               std::string("\xff\0\0\xff\0\0\xff\0\0\xff\0\0", 12));
    pdf.object(9, "<< /Type /Annot /Subtype /Square /Rect " + box + " /C [0 0 0] /P 3 0 R >>");
    if (layout.objectStreams) {
        pdf.streamXRef();
    } else {
        pdf.classicXRef();
    }
    return pdf.bytes();
}

} // namespace qm_test
