#include "stamp/pass/CPageList.h"

#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfObjectFraming.h"
#include "pdf/CPdfXRef.h"
#include "pdf/Limits.h"
#include "pdf/PdfSyntax.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

bool hasOwnResources(std::string_view text) {
    size_t dict = pdf_syntax::findBodyDictionary(text);
    return dict != pdf_syntax::npos && pdf_syntax::findEntry(text, dict, "Resources").has_value();
}

// Whether key (its "/" at pos) lies in the text at pos: a key of a few bytes is compared inline.
template <size_t N> bool keyAt(std::string_view text, size_t pos, const char (&key)[N]) {
    return text.size() - pos >= N - 1 && std::memcmp(text.data() + pos, key, N - 1) == 0;
}

} // namespace

// Where the walk's keys last occur anywhere in a page's text (a key given twice has its last
// value), each as pdf_syntax::findLastText finds it (npos for none), found in one pass from "/"
// to "/" instead of one search per key.
struct WalkKeys {
    enum { kPages, kRotate, kCropBox, kMediaBox, kCount };
    size_t at[kCount] = {pdf_syntax::npos, pdf_syntax::npos, pdf_syntax::npos, pdf_syntax::npos};

    void find(std::string_view text) { findIn(text, at); }
    static void findIn(std::string_view text, size_t* at) {
        const char* const data = text.data();
        const size_t size = text.size();
        for (size_t pos = 0; pos < size; ++pos) {
            const void* slash = std::memchr(data + pos, '/', size - pos);
            if (slash == nullptr) {
                break;
            }
            pos = static_cast<size_t>(static_cast<const char*>(slash) - data);
            // The byte after the "/" tells the one key that can start here.
            int k = kCount;
            switch (pos + 1 < size ? data[pos + 1] : '\0') {
            case 'P':
                k = keyAt(text, pos, "/Pages") ? kPages : kCount;
                break;
            case 'R':
                k = keyAt(text, pos, "/Rotate") ? kRotate : kCount;
                break;
            case 'C':
                k = keyAt(text, pos, "/CropBox") ? kCropBox : kCount;
                break;
            case 'M':
                k = keyAt(text, pos, "/MediaBox") ? kMediaBox : kCount;
                break;
            default:
                break;
            }
            if (k != kCount) {
                at[k] = pos;
            }
        }
    }
};

namespace {

static_assert(CPdfObjectShape::kNoPosition == pdf_syntax::npos &&
              CPdfObjectShape::kMaxKeys == WalkKeys::kCount);

} // namespace

CPageList::CPageList(CPdfObjectFraming& objects) : objects_(objects) {}

void CPageList::read(CPdfXRef& xref, int32_t rootObject) {
    const std::vector<XRefEntry>& entries = xref.entries();
    rowCount_ = entries.size();
    pages_.clear();
    byNumber_.clear();
    cursor_ = 0;
    visitedNodes_.clear();
    isPage_.assign(rowCount_, false);
    ownPlaces_.clear();
    nodeEdits_.clear();
    editIndex_.clear();
    copiedBytes_ = 0;
    std::string rootText;
    if (!objects_.getObjectText(rootObject, rootText)) {
        throw CPdfException("PDF file was damaged", "the catalog (object " +
                                                        std::to_string(rootObject) +
                                                        ") cannot be read");
    }
    // The catalog's own /Pages: a dictionary inside the catalog (a name tree's /Names, for
    // one) may have a /Pages of its own, which is no page tree.
    const size_t catalog = pdf_syntax::findBodyDictionary(rootText);
    const std::optional<pdf_syntax::DictEntry> pagesEntry =
        catalog == pdf_syntax::npos ? std::nullopt
                                    : pdf_syntax::findEntry(rootText, catalog, "Pages");
    int64_t pages = 0;
    int64_t pagesGeneration = 0;
    if (!pagesEntry ||
        !pdf_syntax::readReference(
            std::string_view(rootText).substr(pagesEntry->valueStart,
                                              pagesEntry->valueEnd - pagesEntry->valueStart),
            pages, pagesGeneration) ||
        pages <= 0 || static_cast<uint64_t>(pages) >= entries.size()) {
        throw CPdfException("PDF file was damaged",
                            std::string(pagesEntry
                                            ? "/Pages is no reference to an object of the file"
                                            : "no /Pages") +
                                " in the catalog (object " + std::to_string(rootObject) + ")");
    }
    std::string nodeText;
    if (!objects_.getObjectText(static_cast<int32_t>(pages), nodeText)) {
        throw CPdfException("PDF file was damaged", "the root of the page tree (object " +
                                                        std::to_string(pages) + ") cannot be read");
    }
    // The root read from the text the walk reads and the copy writes (its frame), not from the
    // file past it: a frame cut at a stray "endobj" is written as it is, and the output's root
    // must read with the same /Count.
    CPdfElement pagesRoot;
    if (const auto header = pdf_syntax::readObjectHeader(nodeText)) {
        try {
            CPdfXRef::parseText(nodeText, header->bodyStart, pagesRoot);
        } catch (const CPdfException&) {
            pagesRoot.clear();
        }
    }
    if (pagesRoot.kind() != ElementKind::Dictionary) {
        throw CPdfException("PDF file was damaged", "the root of the page tree (object " +
                                                        std::to_string(pages) +
                                                        ") is no dictionary");
    }
    int64_t count = -1;
    CPdfElement countValue;
    pagesRoot.getDictionary()->getEntry("Count", countValue);
    if (countValue.kind() == ElementKind::Integer) {
        count = countValue.getInteger64();
    } else if (countValue.kind() == ElementKind::Null ||
               (countValue.kind() == ElementKind::Reference &&
                (countValue.getRefNumber() <= 0 ||
                 static_cast<uint64_t>(countValue.getRefNumber()) >= entries.size()))) {
        // A reference to no object reads as null, and the output writes it as null.
        count = 0;
    }
    countValue.clear();
    pagesRoot.clear();
    walkPageTree(nodeText, PageBox{}, 0, 0, static_cast<int32_t>(pages));
    // A root whose /Count is smaller than the pages found keeps it (see below), loop or not.
    if (auto root = editIndex_.find(static_cast<int32_t>(pages));
        root != editIndex_.end() && count >= 0 && count < nodeEdits_[root->second].count) {
        nodeEdits_[root->second].count = -1;
    }
    std::sort(nodeEdits_.begin(), nodeEdits_.end(),
              [](const NodeEdit& a, const NodeEdit& b) { return a.node < b.node; });
    // The root's /Count is the page count where the tree has that many pages. A larger one
    // (even one larger than the table could hold) cannot be right: the page count is then the
    // number of pages the walk found. A smaller one is what viewers show, and pages past it
    // are not stamped.
    if (count >= 0 && static_cast<uint64_t>(count) < pages_.size()) {
        // Pages past the count that the walk gave places of their own (copies, pages written
        // in /Kids) or whose nodes it edits would be written all the same, and the output
        // would read with other pages than it stamped.
        if (!nodeEdits_.empty() || !ownPlaces_.empty()) {
            throw CPdfException("PDF file was damaged",
                                "the page tree's /Count (" + std::to_string(count) +
                                    ") is smaller than the pages it lists, and they list pages "
                                    "again or in /Kids");
        }
        pages_.resize(static_cast<size_t>(count));
    }
    indexPages();
}

bool CPageList::walkPageTree(std::string_view nodeText, const PageBox& inherited, int depth,
                             int32_t inheritedResourcesFrom, int32_t nodeNumber) {
    if (depth > limits::kMaxPageTreeDepth) {
        throw CPdfException("PDF file was damaged", "page tree deeper than " +
                                                        std::to_string(limits::kMaxPageTreeDepth) +
                                                        " levels");
    }
    // A node framed up to an "endobj" glued to a word ("Rendobj", where an array was left
    // open) is cut short: its copy would end there and read otherwise.
    if (const size_t endobj = nodeText.rfind("endobj");
        endobj != std::string_view::npos && endobj > 0 &&
        pdf_syntax::isRegular(static_cast<unsigned char>(nodeText[endobj - 1]))) {
        throw CPdfException("PDF file was damaged",
                            "the page-tree node " + std::to_string(nodeNumber) +
                                " ends inside a word ('endobj' glued to it)");
    }
    const PageBox nodeBox = readBox(nodeText, inherited, &objects_);
    // A /Rotate of the node holds for the pages below it that have none of their own.
    if (depth == 0) {
        nodeRotate_ = 0;
    }
    const int32_t rotateAbove = nodeRotate_;
    constexpr std::string_view kRotate = "/Rotate";
    if (const size_t rotateEnd = pdf_syntax::findLastText(nodeText, kRotate); rotateEnd != 0) {
        if (const pdf_syntax::NumberAfter own = pdf_syntax::readNumberAfter(
                nodeText.substr(rotateEnd + 1 - kRotate.size()), kRotate);
            own.found) {
            nodeRotate_ = own.value;
        }
    }

    if (auto header = pdf_syntax::readObjectHeader(nodeText)) {
        if (header->number >= 0 && header->number <= INT32_MAX) {
            visitedNodes_.insert(static_cast<int32_t>(header->number));
        }
        if (hasOwnResources(nodeText) && header->number <= INT32_MAX) {
            inheritedResourcesFrom = static_cast<int32_t>(header->number);
        }
    }

    const size_t pagesBefore = pages_.size();
    bool leftOut = false;
    size_t kidIndex = 0;
    forEachPageTreeKid(nodeText, [&](const PageTreeKid& kid) {
        leftOut |=
            visitKid(kid, nodeText, nodeBox, depth, inheritedResourcesFrom, nodeNumber, kidIndex++);
    });
    nodeRotate_ = rotateAbove;
    if (leftOut) {
        editOf(nodeNumber).count = static_cast<int64_t>(pages_.size() - pagesBefore);
    }
    return leftOut;
}

bool endsAsStream(std::string_view objectText) {
    // From the end: white-space, "endobj", white-space and "endstream".
    auto trimmed = [](std::string_view text) {
        size_t end = text.size();
        while (end > 0 && pdf_syntax::isWhitespace(static_cast<unsigned char>(text[end - 1]))) {
            --end;
        }
        return text.substr(0, end);
    };
    std::string_view text = trimmed(objectText);
    if (text.ends_with("endobj")) {
        text = trimmed(text.substr(0, text.size() - 6));
    }
    return text.ends_with("endstream");
}

size_t findPageTreeKids(std::string_view nodeText) {
    size_t pos = pdf_syntax::findLastText(nodeText, "/Kids");
    if (pos == 0) {
        pos = pdf_syntax::findText(nodeText, "[");
    }
    // Neither: no kids, not the numbers of the node's own header.
    return pos == 0 ? pdf_syntax::npos : pos;
}

namespace {

// The end of the integer token at pos (digits that no other regular byte follows); npos when
// the token there is not a plain unsigned integer.
size_t integerTokenEnd(std::string_view text, size_t pos) {
    size_t end = pos;
    while (end < text.size() && pdf_syntax::isDigit(static_cast<unsigned char>(text[end]))) {
        ++end;
    }
    const bool regularFollows =
        end < text.size() && pdf_syntax::isRegular(static_cast<unsigned char>(text[end]));
    return end == pos || regularFollows ? pdf_syntax::npos : end;
}

// pdf_syntax::skipWhitespace, with the one space that writers put between a reference's parts
// passed over inline.
inline size_t skipSpaces(std::string_view text, size_t pos) {
    if (pos + 1 < text.size() && text[pos] == ' ' &&
        !pdf_syntax::isWhitespace(static_cast<unsigned char>(text[pos + 1])) &&
        text[pos + 1] != '%') {
        return pos + 1;
    }
    return pdf_syntax::skipWhitespace(text, pos);
}

// The end of the token at pos, a byte that is no white-space: a run of regular bytes, a
// literal string, or one delimiter byte.
size_t tokenEnd(std::string_view text, size_t pos) {
    if (text[pos] == '(') {
        const size_t end = pdf_syntax::skipObject(text, pos);
        return end == pdf_syntax::npos ? text.size() : end;
    }
    if (!pdf_syntax::isRegular(static_cast<unsigned char>(text[pos]))) {
        return pos + 1;
    }
    while (pos < text.size() && pdf_syntax::isRegular(static_cast<unsigned char>(text[pos]))) {
        ++pos;
    }
    return pos;
}

} // namespace

size_t readPageTreeKid(std::string_view nodeText, size_t pos, PageTreeKid& kid) {
    const char* const data = nodeText.data();
    const size_t size = nodeText.size();
    while (pos < size) {
        const unsigned char c = static_cast<unsigned char>(data[pos]);
        if (pdf_syntax::isWhitespace(c)) {
            ++pos;
            continue;
        }
        if (c == '%') {
            pos = pdf_syntax::skipWhitespace(nodeText, pos); // a comment is white-space too
            continue;
        }
        if (c == ']' || c == '/') {
            return pdf_syntax::npos;
        }
        if (c == '<' && pos + 1 < size && data[pos + 1] == '<') {
            const size_t end = pdf_syntax::findDictionaryEnd(nodeText, pos);
            if (end == pdf_syntax::npos) {
                return pdf_syntax::npos;
            }
            kid.direct = true;
            kid.number = 0;
            kid.start = pos;
            kid.end = end + 2;
            return kid.end;
        }
        if (pdf_syntax::isDigit(c)) {
            // A reference is three tokens, "n g R"; an integer that does not start one is
            // passed over alone, as readers read it.
            const size_t numberEnd = integerTokenEnd(nodeText, pos);
            if (numberEnd != pdf_syntax::npos) {
                const size_t generation = skipSpaces(nodeText, numberEnd);
                const size_t generationEnd =
                    generation < size ? integerTokenEnd(nodeText, generation) : pdf_syntax::npos;
                const size_t r =
                    generationEnd == pdf_syntax::npos ? size : skipSpaces(nodeText, generationEnd);
                if (r < size && data[r] == 'R' &&
                    (r + 1 == size ||
                     !pdf_syntax::isRegular(static_cast<unsigned char>(data[r + 1])))) {
                    // Held just past the range of object numbers, which is all a kid's
                    // number needs.
                    constexpr uint64_t kHeld = uint64_t{INT32_MAX} + 1;
                    uint64_t digits = 0;
                    bool capped = false;
                    pdf_syntax::readDigits(nodeText, pos, kHeld, digits, capped);
                    kid.direct = false;
                    kid.number = static_cast<int64_t>(digits);
                    kid.start = pos;
                    kid.end = r + 1;
                    return kid.end;
                }
                pos = numberEnd;
                continue;
            }
        }
        pos = tokenEnd(nodeText, pos);
    }
    return pdf_syntax::npos;
}

CPageList::NodeEdit& CPageList::editOf(int32_t node) {
    auto [at, added] = editIndex_.try_emplace(node, nodeEdits_.size());
    if (added) {
        nodeEdits_.emplace_back().node = node;
    }
    return nodeEdits_[at->second];
}

void CPageList::numberOwnPlaces(uint32_t first) {
    for (OwnPlace& place : ownPlaces_) {
        place.number = first++;
    }
}

const CPageList::NodeEdit* CPageList::nodeEdit(size_t number) const {
    if (nodeEdits_.empty()) {
        return nullptr;
    }
    auto it = std::lower_bound(
        nodeEdits_.begin(), nodeEdits_.end(), number,
        [](const NodeEdit& edit, size_t n) { return static_cast<size_t>(edit.node) < n; });
    return it != nodeEdits_.end() && static_cast<size_t>(it->node) == number ? &*it : nullptr;
}

bool CPageList::visitKid(const PageTreeKid& kid, std::string_view nodeText, const PageBox& nodeBox,
                         int depth, int32_t resourcesFrom, int32_t node, size_t kidIndex) {
    if (kid.direct) {
        visitDirectPage(nodeText.substr(kid.start, kid.end - kid.start), nodeBox, resourcesFrom,
                        node, kidIndex);
        return false;
    }
    const int64_t kidNumber = kid.number;
    // Seen where it lies in the input, or read into a buffer kept from kid to kid; a node,
    // walked with kids of its own, takes a buffered text with it.
    CPdfObjectFraming::WalkedObject walked;
    if (kidNumber > INT32_MAX || !objects_.readWalkedObject(static_cast<int32_t>(kidNumber),
                                                            WalkKeys::findIn, kidText_, walked)) {
        throw CPdfException("PDF file was damaged",
                            "the page tree's kid " + std::to_string(kidNumber) + " cannot be read");
    }
    const std::string_view kidText = walked.text;
    const size_t body = walked.body;
    if (body == pdf_syntax::npos || kidText.compare(body, 4, "null") == 0) {
        throw CPdfException("PDF file was damaged", "the page tree's kid " +
                                                        std::to_string(kidNumber) +
                                                        " is null or has no object body");
    }
    WalkKeys keys;
    std::copy(walked.keys, walked.keys + WalkKeys::kCount, keys.at);
    const bool isNode = keys.at[WalkKeys::kPages] != pdf_syntax::npos || kidText[body] == '[';
    if (isNode) {
        // A node met again (a /Kids that lists an ancestor or a node listed twice) is not
        // walked again, and its parent's /Kids is written without it.
        if (visitedNodes_.count(static_cast<int32_t>(kidNumber)) != 0) {
            editOf(node).dropped.push_back(kidIndex);
            return true;
        }
        if (!walked.inBuffer) {
            return walkPageTree(kidText, nodeBox, depth + 1, resourcesFrom,
                                static_cast<int32_t>(kidNumber));
        }
        const std::string kidNodeText = std::move(kidText_);
        return walkPageTree(kidNodeText, nodeBox, depth + 1, resourcesFrom,
                            static_cast<int32_t>(kidNumber));
    }
    // A stream is no page: its copy or its stamp would be written as a page with its data.
    if (endsAsStream(kidText)) {
        throw CPdfException("PDF file was damaged", "the page tree's kid " +
                                                        std::to_string(kidNumber) +
                                                        " is a stream, not a page");
    }
    // A page object listed again is written as a copy of its own for this place.
    if (static_cast<uint64_t>(kidNumber) < isPage_.size() &&
        isPage_[static_cast<size_t>(kidNumber)]) {
        chargeOwnPlace(kidText.size());
        addOwnPlace(node, kidIndex, false, kidNumber);
    } else if (static_cast<uint64_t>(kidNumber) < isPage_.size()) {
        isPage_[static_cast<size_t>(kidNumber)] = true;
    }
    addPage(kidText, keys, nodeBox, resourcesFrom).objectNumber = static_cast<uint32_t>(kidNumber);
    return false;
}

void CPageList::chargeOwnPlace(size_t pageBytes) {
    // Each such place is written as a new page object with the stamp's streams beside it, so
    // a place costs the output more than its page's own bytes: a page of a few bytes listed
    // millions of times is held to the same bound.
    constexpr uint64_t kWrittenPerPlace = 512;
    copiedBytes_ += pageBytes + kWrittenPerPlace;
    if (copiedBytes_ > limits::kMaxCopiedPageBytes) {
        throw CPdfException("PDF file was damaged",
                            "the page tree lists its page objects again (or writes pages in "
                            "/Kids) more than " +
                                std::to_string(limits::kMaxCopiedPageBytes >> 20) +
                                " MiB of copies allow");
    }
}

void CPageList::addOwnPlace(int32_t node, size_t kidIndex, bool direct, int64_t listed) {
    OwnPlace& place = ownPlaces_.emplace_back();
    place.pageIndex = pages_.size();
    place.node = node;
    place.kid = kidIndex;
    place.direct = direct;
    place.listed = listed;
    editOf(node).places.push_back(ownPlaces_.size() - 1);
}

PageEntry& CPageList::addPage(std::string_view text, const WalkKeys& keys, const PageBox& nodeBox,
                              int32_t resourcesFrom) {
    auto from = [text](size_t pos) {
        return pos == pdf_syntax::npos ? std::string_view() : text.substr(pos);
    };
    PageEntry& row = pages_.emplace_back();
    // Without a box of its own the page has its node's, and without a /Rotate its node's.
    const bool crop = keys.at[WalkKeys::kCropBox] != pdf_syntax::npos;
    const size_t boxKey = crop ? keys.at[WalkKeys::kCropBox] : keys.at[WalkKeys::kMediaBox];
    const size_t boxKeyEnd = boxKey == pdf_syntax::npos
                                 ? 0
                                 : boxKey + (crop ? sizeof "/CropBox" : sizeof "/MediaBox") - 2;
    row.box = boxKey != pdf_syntax::npos ? readBoxAt(text, boxKeyEnd, nodeBox, &objects_) : nodeBox;
    row.inheritedResourcesFrom = resourcesFrom;
    row.rotate = nodeRotate_;
    if (keys.at[WalkKeys::kRotate] != pdf_syntax::npos) {
        const pdf_syntax::NumberAfter rotate =
            pdf_syntax::readNumberAfter(from(keys.at[WalkKeys::kRotate]), "/Rotate");
        row.rotate = rotate.found ? rotate.value : nodeRotate_;
    }
    return row;
}

void CPageList::visitDirectPage(std::string_view dictText, const PageBox& nodeBox,
                                int32_t resourcesFrom, int32_t node, size_t kidIndex) {
    WalkKeys keys;
    keys.find(dictText);
    if (keys.at[WalkKeys::kPages] != pdf_syntax::npos) {
        throw CPdfException("PDF file was damaged",
                            "a page-tree node is written in the /Kids of object " +
                                std::to_string(node) + " instead of as an object of its own");
    }
    chargeOwnPlace(dictText.size());
    addOwnPlace(node, kidIndex, true, 0);
    // The page has no object in the input (number 0 names none).
    addPage(dictText, keys, nodeBox, resourcesFrom).objectNumber = 0;
}

void CPageList::indexPages() {
    byNumber_.reserve(pages_.size());
    isPage_.assign(rowCount_, false);
    for (size_t k = 0; k < pages_.size(); ++k) {
        if (pages_[k].objectNumber == 0) {
            continue; // a page written in /Kids, which has no object of the input
        }
        byNumber_.emplace_back(pages_[k].objectNumber, static_cast<int32_t>(k + 1));
        isPage_[pages_[k].objectNumber] = true;
    }
    // Pages mostly come in rising number order already. A page listed twice is found at its
    // first place.
    auto byNumber = [](const auto& a, const auto& b) { return a.first < b.first; };
    if (!std::is_sorted(byNumber_.begin(), byNumber_.end(), byNumber)) {
        std::stable_sort(byNumber_.begin(), byNumber_.end(), byNumber);
    }
    auto sameNumber = [](const auto& a, const auto& b) { return a.first == b.first; };
    byNumber_.erase(std::unique(byNumber_.begin(), byNumber_.end(), sameNumber), byNumber_.end());
    cursor_ = 0;
}

int32_t CPageList::indexOf(size_t number) {
    if (number >= isPage_.size() || !isPage_[number]) {
        return 0;
    }
    // The object loop asks in rising order: the page asked for is the one found last or the
    // next one.
    for (size_t at = cursor_; at < byNumber_.size() && at <= cursor_ + 1; ++at) {
        if (byNumber_[at].first == number) {
            cursor_ = at;
            return byNumber_[at].second;
        }
    }
    auto it = std::lower_bound(byNumber_.begin(), byNumber_.end(), number,
                               [](const auto& page, size_t n) { return page.first < n; });
    if (it == byNumber_.end() || it->first != number) {
        return 0;
    }
    cursor_ = static_cast<size_t>(it - byNumber_.begin());
    return it->second;
}
