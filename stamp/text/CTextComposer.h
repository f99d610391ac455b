#pragma once

#include "stamp/pass/StampDefinition.h"
#include "stamp/text/ComposeText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The stamp's text page after page. Within a pass only the page's number changes: the prefix,
// and after the number the separator, the page count and the end, are composed once, and each
// page puts its number between them. What compose gives is what composeText gives.
class CTextComposer {
  public:
    CTextComposer() = default;
    // The stamp outlives the composer.
    CTextComposer(const StampDefinition& stamp, uint32_t pageCount);

    // The text of the page shown as number, into out, whose buffers are reused.
    void compose(int32_t number, ComposedText& out) const;

  private:
    const StampDefinition* stamp_ = nullptr;
    bool numbered_ = false; // the page's number is shown
    bool pieces_ = false;   // an embedded font: where each piece ends is given
    // Everything after the page's number (after the prefix without one), and where its pieces
    // end in it.
    std::string tail_;
    std::vector<size_t> tailPieces_;
};
