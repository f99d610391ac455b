#include "stamp/CPdfStamp.h"

#include "pdf/CPdfException.h"
#include "pdf/Limits.h"
#include "stamp/PdfSyntax.h"
#include "stamp/RawText.h"

#include <cmath>

namespace {

bool hasOwnResources(std::string_view text) {
    size_t dict = pdfsyntax::findBodyDictionary(text);
    return dict != pdfsyntax::npos && pdfsyntax::findEntry(text, dict, "Resources").has_value();
}

} // namespace

void CPdfStamp::walkPageTree(std::string_view nodeText, const PageBox& inherited, int depth,
                             int32_t inheritedResourcesFrom) {
    if (depth > limits::kMaxPageTreeDepth) {
        throw CPdfException("PDF file was damaged");
    }
    const PageBox nodeBox = readBox(nodeText, inherited);
    // A /Rotate of the node holds for the pages below it that have none of their own.
    if (depth == 0) {
        nodeRotate_ = 0;
    }
    const int32_t rotateAbove = nodeRotate_;
    if (const rawtext::NumberAfter own = rawtext::readNumberAfter(nodeText, "/Rotate"); own.found) {
        nodeRotate_ = own.value;
    }

    if (auto header = pdfsyntax::readObjectHeader(nodeText)) {
        if (header->number >= 0 && static_cast<size_t>(header->number) < visitedNodes_.size()) {
            visitedNodes_[static_cast<size_t>(header->number)] = true;
        }
        if (hasOwnResources(nodeText) && header->number <= INT32_MAX) {
            inheritedResourcesFrom = static_cast<int32_t>(header->number);
        }
    }

    size_t pos = rawtext::findText(nodeText, "/Kids");
    if (pos == 0) {
        pos = rawtext::findText(nodeText, "[");
    }
    // Kids come as pairs of numbers: the object number, then the generation, which is skipped.
    bool haveNumber = false;
    int64_t kidNumber = 0;
    while (pos < nodeText.size()) {
        const char c = nodeText[pos];
        if (c == ']' || c == '/') {
            break;
        }
        if (c < '0' || c > '9') {
            ++pos;
            continue;
        }
        int64_t value = 0;
        while (pos < nodeText.size() && nodeText[pos] >= '0' && nodeText[pos] <= '9') {
            if (value <= INT32_MAX) {
                value = value * 10 + (nodeText[pos] - '0');
            }
            ++pos;
        }
        ++pos; // the byte after a number is passed over
        if (!haveNumber) {
            kidNumber = value;
            haveNumber = true;
        } else {
            haveNumber = false;
            visitKid(kidNumber, nodeBox, depth, inheritedResourcesFrom);
        }
    }
    nodeRotate_ = rotateAbove;
}

void CPdfStamp::visitKid(int64_t kidNumber, const PageBox& nodeBox, int depth,
                         int32_t resourcesFrom) {
    // Read into a buffer kept from kid to kid; a node, walked with kids of its own, takes the
    // text with it.
    std::string& kidText = kidText_;
    if (kidNumber > INT32_MAX || !getObjectText(static_cast<int32_t>(kidNumber), kidText)) {
        throw CPdfException("PDF file was damaged");
    }
    const size_t body = pdfsyntax::findBody(kidText);
    if (body == pdfsyntax::npos || kidText.compare(body, 4, "null") == 0) {
        throw CPdfException("PDF file was damaged");
    }
    const bool isNode = rawtext::findText(kidText, "/Pages") != 0 || kidText[body] == '[';
    if (isNode) {
        // A node met again (a /Kids that lists an ancestor or a node listed twice) is not
        // walked again.
        if (visitedNodes_[static_cast<size_t>(kidNumber)]) {
            return;
        }
        const std::string nodeText = std::move(kidText);
        walkPageTree(nodeText, nodeBox, depth + 1, resourcesFrom);
        return;
    }
    if (pagesFound >= 0 && static_cast<uint32_t>(pagesFound) < pageCount) {
        PageEntry& row = pageList[static_cast<size_t>(pagesFound)];
        row.objectNumber = static_cast<uint32_t>(kidNumber);
        row.box = readBox(kidText, nodeBox);
        row.inheritedResourcesFrom = resourcesFrom;
        const rawtext::NumberAfter rotate = rawtext::readNumberAfter(kidText, "/Rotate");
        row.rotate = rotate.found ? rotate.value : nodeRotate_;
        // The frame just taken by getObjectText, kept for the copy and the stamp of the page.
        CachedExtent& frame = pageFrames_[static_cast<size_t>(pagesFound)];
        frame.number = static_cast<int32_t>(kidNumber);
        frame.found = findObjectExtent(frame.number, frame.extent);
        ++pagesFound;
    }
}
