#pragma once

#include <string>

// A one-page PDF for -overlay, laid out unlike the program's inputs: a 200 x 100 point page whose
// left half is filled green and whose right half is a red 2 x 2 image, with "STICKER" in
// Helvetica along its top, and a square annotation over the whole page (which the overlay does
// not draw).
namespace qm_test {

// Given whole in the tests ({twoStreams, objectStreams, origin, pageExtra}).
struct StickerLayout {
    bool twoStreams = false;    // the content in two streams (an array), else one Flate stream
    bool objectStreams = false; // the catalog, pages, resources and font in an object stream,
                                // with a cross-reference stream
    int origin = 0;             // the media box's lower left corner at (origin, origin)
    const char* pageExtra = ""; // more entries of the page dictionary ("/Rotate 90")
};

std::string makeStickerPdf(const StickerLayout& layout = {});

} // namespace qm_test
