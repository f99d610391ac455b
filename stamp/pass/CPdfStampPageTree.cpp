#include "stamp/pass/CPdfStampPass.h"

#include "pdf/CPdfException.h"
#include "pdf/Limits.h"
#include "pdf/PdfSyntax.h"

#include <algorithm>
#include <cmath>

namespace {

bool hasOwnResources(std::string_view text) {
    size_t dict = pdfsyntax::findBodyDictionary(text);
    return dict != pdfsyntax::npos && pdfsyntax::findEntry(text, dict, "Resources").has_value();
}

} // namespace

void CPdfStampPass::walkPageTree(std::string_view nodeText, const PageBox& inherited, int depth,
                                 int32_t inheritedResourcesFrom) {
    if (depth > limits::kMaxPageTreeDepth) {
        throw CPdfException("PDF file was damaged", "page tree deeper than " +
                                                        std::to_string(limits::kMaxPageTreeDepth) +
                                                        " levels");
    }
    const PageBox nodeBox = readBox(stamp_, nodeText, inherited, &objects_);
    // A /Rotate of the node holds for the pages below it that have none of their own.
    if (depth == 0) {
        nodeRotate_ = 0;
    }
    const int32_t rotateAbove = nodeRotate_;
    if (const pdfsyntax::NumberAfter own = pdfsyntax::readNumberAfter(nodeText, "/Rotate");
        own.found) {
        nodeRotate_ = own.value;
    }

    if (auto header = pdfsyntax::readObjectHeader(nodeText)) {
        if (header->number >= 0 && header->number <= INT32_MAX) {
            visitedNodes_.insert(static_cast<int32_t>(header->number));
        }
        if (hasOwnResources(nodeText) && header->number <= INT32_MAX) {
            inheritedResourcesFrom = static_cast<int32_t>(header->number);
        }
    }

    size_t pos = pdfsyntax::findText(nodeText, "/Kids");
    if (pos == 0) {
        pos = pdfsyntax::findText(nodeText, "[");
    }
    // Kids come as pairs of numbers: the object number, then the generation, which is skipped.
    bool haveNumber = false;
    int64_t kidNumber = 0;
    while (pos < nodeText.size()) {
        const char c = nodeText[pos];
        if (c == ']' || c == '/') {
            break;
        }
        if (!pdfsyntax::isDigit(c)) {
            ++pos;
            continue;
        }
        // Held just past the range of object numbers, which is all a kid's number needs.
        uint64_t digits = 0;
        bool capped = false;
        pos = pdfsyntax::readDigits(nodeText, pos, uint64_t{INT32_MAX} + 1, digits, capped);
        const int64_t value = static_cast<int64_t>(digits);
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

void CPdfStampPass::visitKid(int64_t kidNumber, const PageBox& nodeBox, int depth,
                             int32_t resourcesFrom) {
    // Read into a buffer kept from kid to kid; a node, walked with kids of its own, takes the
    // text with it.
    std::string& kidText = kidText_;
    if (kidNumber > INT32_MAX || !getObjectText(static_cast<int32_t>(kidNumber), kidText)) {
        throw CPdfException("PDF file was damaged",
                            "the page tree's kid " + std::to_string(kidNumber) + " cannot be read");
    }
    const size_t body = pdfsyntax::findBody(kidText);
    if (body == pdfsyntax::npos || kidText.compare(body, 4, "null") == 0) {
        throw CPdfException("PDF file was damaged", "the page tree's kid " +
                                                        std::to_string(kidNumber) +
                                                        " is null or has no object body");
    }
    const bool isNode = pdfsyntax::findText(kidText, "/Pages") != 0 || kidText[body] == '[';
    if (isNode) {
        // A node met again (a /Kids that lists an ancestor or a node listed twice) is not
        // walked again.
        if (visitedNodes_.count(static_cast<int32_t>(kidNumber)) != 0) {
            return;
        }
        const std::string nodeText = std::move(kidText);
        walkPageTree(nodeText, nodeBox, depth + 1, resourcesFrom);
        return;
    }
    // Every page is an object of its own: a tree that lists more pages than the table has rows
    // lists some of them again, and those past that many are not recorded.
    if (static_cast<size_t>(pagesFound_) >= inputEntries_->size()) {
        return;
    }
    PageEntry& row = pageList_.emplace_back();
    row.objectNumber = static_cast<uint32_t>(kidNumber);
    row.box = readBox(stamp_, kidText, nodeBox, &objects_);
    row.inheritedResourcesFrom = resourcesFrom;
    const pdfsyntax::NumberAfter rotate = pdfsyntax::readNumberAfter(kidText, "/Rotate");
    row.rotate = rotate.found ? rotate.value : nodeRotate_;
    // The frame just taken by getObjectText, kept for the copy and the stamp of the page.
    objects_.keepFrame(static_cast<int32_t>(kidNumber));
    ++pagesFound_;
}

void CPdfStampPass::indexPages() {
    pagesByNumber_.reserve(pageList_.size());
    for (size_t k = 0; k < pageList_.size(); ++k) {
        pagesByNumber_.emplace_back(pageList_[k].objectNumber, static_cast<int32_t>(k + 1));
        isPage_[pageList_[k].objectNumber] = true;
    }
    // Pages mostly come in rising number order already. A page listed twice is found at its
    // first place.
    auto byNumber = [](const auto& a, const auto& b) { return a.first < b.first; };
    if (!std::is_sorted(pagesByNumber_.begin(), pagesByNumber_.end(), byNumber)) {
        std::stable_sort(pagesByNumber_.begin(), pagesByNumber_.end(), byNumber);
    }
    auto sameNumber = [](const auto& a, const auto& b) { return a.first == b.first; };
    pagesByNumber_.erase(std::unique(pagesByNumber_.begin(), pagesByNumber_.end(), sameNumber),
                         pagesByNumber_.end());
    pageCursor_ = 0;
}

int32_t CPdfStampPass::pageIndexOf(size_t number) {
    if (number >= isPage_.size() || !isPage_[number]) {
        return 0;
    }
    // The object loop asks in rising order: the page asked for is the one found last or the
    // next one.
    for (size_t at = pageCursor_; at < pagesByNumber_.size() && at <= pageCursor_ + 1; ++at) {
        if (pagesByNumber_[at].first == number) {
            pageCursor_ = at;
            return pagesByNumber_[at].second;
        }
    }
    auto it = std::lower_bound(pagesByNumber_.begin(), pagesByNumber_.end(), number,
                               [](const auto& page, size_t n) { return page.first < n; });
    if (it == pagesByNumber_.end() || it->first != number) {
        return 0;
    }
    pageCursor_ = static_cast<size_t>(it - pagesByNumber_.begin());
    return it->second;
}
