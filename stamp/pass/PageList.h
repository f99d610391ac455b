#pragma once

#include "pdf/CPdfObjectForm.h"
#include "stamp/layout/Placement.h"
#include "stamp/pass/StampDefinition.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

class CPdfObjectFraming;
class CPdfXRef;

// The pages of a document in page order, found by walking its page tree from the catalog, each
// with its box (the stamp's -pagesize replaces them), its /Rotate and where its inherited
// resources are; and the page of an object number, found fast when asked in rising order.
// The frames of the page objects stay kept in the input's framing for the copy and the stamp.
class PageList {
  public:
    PageList(const StampDefinition& stamp, CPdfObjectFraming& objects);
    PageList(const PageList&) = delete;
    PageList& operator=(const PageList&) = delete;

    // Walks the page tree of the catalog rootObject. Throws "PDF file was damaged" (with what
    // was found where) for a catalog, a tree root or a kid that cannot be read, or a tree too
    // deep. A /Count smaller than the pages found is the page count; a larger one is not.
    void read(CPdfXRef& xref, int32_t rootObject);

    size_t size() const { return pages_.size(); }
    const PageEntry& operator[](size_t index) const { return pages_[index]; }
    // Index + 1 of the page object `number` in the list (its first place there), or 0 when it
    // is no page. Lookups in rising number order take constant time.
    int32_t indexOf(size_t number);
    // The pages' object numbers, rising, each with its index + 1.
    const std::vector<std::pair<uint32_t, int32_t>>& byNumber() const { return byNumber_; }

  private:
    void walkPageTree(std::string_view nodeText, const PageBox& inherited, int depth = 0,
                      int32_t inheritedResourcesFrom = 0);
    void visitKid(int64_t kidNumber, const PageBox& nodeBox, int depth, int32_t resourcesFrom);
    // Marks the pages of the list and sorts them by object number, after the walk.
    void indexPages();

    const StampDefinition& stamp_;
    CPdfObjectFraming& objects_;
    size_t rowCount_ = 0; // rows of the input's table
    std::vector<PageEntry> pages_;
    int32_t nodeRotate_ = 0; // the /Rotate the walk's current node hands down
    // Memory in proportion to the rows is one bit a row here; what belongs to pages is sized
    // by the pages the walk finds.
    std::vector<bool> isPage_;                           // per row: the object is in the page list
    std::vector<std::pair<uint32_t, int32_t>> byNumber_; // page number, index + 1; sorted
    size_t cursor_ = 0;                                  // the place in byNumber_ last found
    std::unordered_set<int32_t> visitedNodes_; // page-tree nodes already walked in this pass
    std::string kidText_; // a kid's text that cannot be seen in place, kept from kid to kid
    // The form of a page read before: a page of the same bytes but for its numbers has its
    // frame, header and keys where that one had them.
    CPdfObjectForm pageForm_;
};
