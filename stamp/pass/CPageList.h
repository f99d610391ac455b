#pragma once

#include "stamp/layout/Placement.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

class CPdfObjectFraming;
class CPdfXRef;
struct WalkKeys;

// One kid of a page-tree node's /Kids: a reference (the object number it names) or a dictionary
// written in the array; start and end frame its bytes in the node's text.
struct PageTreeKid {
    bool direct = false;
    int64_t number = 0; // the object number a reference names
    size_t start = 0;
    size_t end = 0;
};

// Where the kid that starts at pos of the /Kids of nodeText ends, with the kid read into kid;
// npos at the end of the array. Kids are references ("n g R": the object number, then the
// generation, which is skipped) or dictionaries; every other token between them is passed
// over, and the array ends at "]" or at a "/" outside a dictionary.
size_t readPageTreeKid(std::string_view nodeText, size_t pos, PageTreeKid& kid);
// Where the /Kids of nodeText start for readPageTreeKid; npos for a node without them.
size_t findPageTreeKids(std::string_view nodeText);
// Whether an object's text (its frame) ends as a stream does: "endstream", then "endobj".
bool endsAsStream(std::string_view objectText);

// Calls visit(kid) for each kid of the /Kids of nodeText, in order.
template <class Visit> void forEachPageTreeKid(std::string_view nodeText, Visit&& visit) {
    PageTreeKid kid;
    for (size_t pos = findPageTreeKids(nodeText);
         (pos = readPageTreeKid(nodeText, pos, kid)) != std::string_view::npos;) {
        visit(kid);
    }
}

// The pages of a document in page order, found by walking its page tree from the catalog, each
// with its box (the stamp's -pagesize replaces them), its /Rotate and where its inherited
// resources are; and the page of an object number, found fast when asked in rising order.
// The walk reads each page object once, through the framing, which keeps its frame for the
// copy and the stamp.
// Every place of the tree is a page of its own: a page object listed again and a page
// dictionary written in /Kids get objects of their own in the output, and a node met again (a
// loop) is left out of its parent's /Kids.
class CPageList {
  public:
    // A page place that the output writes as a new object: a copy of a page object listed
    // before, or a page dictionary written in its node's /Kids (direct).
    struct OwnPlace {
        size_t pageIndex = 0;
        int32_t node = 0; // the node whose /Kids lists the place
        size_t kid = 0;   // the place's index in that /Kids
        bool direct = false;
        int64_t listed = 0;  // the object number the kid names (a copy)
        uint32_t number = 0; // the output's object number, from numberOwnPlaces
    };
    // A node whose /Kids (and /Count) the output writes anew.
    struct NodeEdit {
        int32_t node = 0;
        // The kids by index: those of own places name their new object, dropped ones go.
        std::vector<size_t> places; // indexes into ownPlaces()
        std::vector<size_t> dropped;
        int64_t count = -1; // the /Count to write, or -1 to leave it
    };

    explicit CPageList(CPdfObjectFraming& objects);
    CPageList(const CPageList&) = delete;
    CPageList& operator=(const CPageList&) = delete;

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

    const std::vector<OwnPlace>& ownPlaces() const { return ownPlaces_; }
    // Gives the own places the object numbers first, first + 1, ... in page order.
    void numberOwnPlaces(uint32_t first);
    // The nodes the output writes anew, by rising number.
    const std::vector<NodeEdit>& nodeEdits() const { return nodeEdits_; }
    // The edit of node number, or nullptr.
    const NodeEdit* nodeEdit(size_t number) const;

  private:
    // Walks the node; true when pages below it were left out (a loop), so that the /Count of
    // the nodes above is written again.
    bool walkPageTree(std::string_view nodeText, const PageBox& inherited, int depth = 0,
                      int32_t inheritedResourcesFrom = 0, int32_t nodeNumber = 0);
    // The kid at index kid of node; true when it left pages out.
    bool visitKid(const PageTreeKid& kid, std::string_view nodeText, const PageBox& nodeBox,
                  int depth, int32_t resourcesFrom, int32_t node, size_t kidIndex);
    // A page dictionary written in node's /Kids.
    void visitDirectPage(std::string_view dictText, const PageBox& nodeBox, int32_t resourcesFrom,
                         int32_t node, size_t kidIndex);
    NodeEdit& editOf(int32_t node);
    // Counts a page written at a place of its own (a copy, or a page written in /Kids) against
    // the bound on such copies; throws past it.
    void chargeOwnPlace(size_t pageBytes);
    void addOwnPlace(int32_t node, size_t kidIndex, bool direct, int64_t listed);
    // The page row of a page whose text (a page object or a dictionary in /Kids) holds the
    // walk's keys where keys has found them.
    PageEntry& addPage(std::string_view text, const WalkKeys& keys, const PageBox& nodeBox,
                       int32_t resourcesFrom);
    // Marks the pages of the list and sorts them by object number, after the walk.
    void indexPages();

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
    std::vector<OwnPlace> ownPlaces_;
    std::vector<NodeEdit> nodeEdits_;
    std::unordered_map<int32_t, size_t> editIndex_; // node number, index in nodeEdits_
    uint64_t copiedBytes_ = 0; // what the pages written at places of their own cost
};
