#pragma once

#include "stamp/layout/CStampDrawing.h"
#include "stamp/layout/Placement.h"
#include "stamp/layout/StampContent.h"
#include "stamp/pass/StampDefinition.h"
#include "stamp/picture/COverlayPage.h"
#include "stamp/picture/CPictureDrawing.h"
#include "stamp/picture/PictureImage.h"
#include "stamp/picture/PicturePlacement.h"
#include "stamp/text/CTextComposer.h"

#include <cstdint>
#include <optional>
#include <string>

// One stamp of the pass with the objects written for it once per document.
struct DrawnStamp {
    const StampDefinition* definition = nullptr;
    std::string fontResourceName;
    std::string graphicsStateName;
    int32_t fontObjectNumber = 0;
    int32_t graphicsStateObjectNumber = 0;
    // -pagesize: the box that replaces every page's.
    bool fixedBox = false;
    PageBox box;
    // The stamp's text for the pass's page count.
    CTextComposer composer;
    // The stream text, its drawing around the text kept from page to page; its style is set
    // once the pass knows its resources and whether the document is tagged.
    CStampDrawing drawing;
    // The place of the last page and what it was made from: a page whose inputs compare
    // equal takes the same place.
    struct PlaceInputs {
        PlacementInput placement;
        float boxAdvance = 0.0f; // the text's advance where a box is drawn behind it
        bool operator==(const PlaceInputs&) const = default;
    };
    std::optional<PlaceInputs> placedFrom;
    // The room the stamp has on pages of the last box and turn measured.
    struct StampRoom {
        PageBox box;
        int32_t rotate = 0;
        double room = 0.0;
        bool known = false;
    } room;
    StampPlace place;
    // -image or -overlay: the picture, read before the input is opened; its image's or
    // form's resource name and object (an image's soft mask written before it, a form's
    // objects after it), its size on the page and its drawing.
    bool picture = false;
    PictureImage image;
    bool overlay = false;
    COverlayPage overlayPage;
    std::string imageName;
    int32_t imageObjectNumber = 0;
    PictureSize pictureSize;
    CPictureDrawing pictureDrawing;
    // The stamp's own texts hold no byte that a literal string escapes or converts, nor a
    // backslash: its composed text is its literal text as it stands (numbers, decimal or
    // roman, never hold such a byte).
    bool plainText = false;
};
