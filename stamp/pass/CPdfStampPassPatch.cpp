#include "stamp/pass/CPdfStampPass.h"

#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfInputFile.h"
#include "pdf/CPdfXRef.h"
#include "pdf/PdfSyntax.h"
#include "stamp/text/PageNumbering.h"
#include "stamp/write/COutputFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string>

using pdf_syntax::DictEntry;
using pdf_syntax::npos;
using pdf_syntax::ValueKind;

namespace {

// A short text built on the stack, as several are made for every page; a longer one moves to
// the heap.
class ShortText {
  public:
    operator std::string_view() const {
        return heap_.empty() ? std::string_view(stack_, length_) : std::string_view(heap_);
    }

    void append(std::string_view part) {
        if (heap_.empty() && length_ + part.size() <= sizeof stack_) {
            if (!part.empty()) {
                std::memcpy(stack_ + length_, part.data(), part.size());
                length_ += part.size();
            }
            return;
        }
        appendOnHeap(part);
    }

  private:
    [[gnu::noinline]] void appendOnHeap(std::string_view part) {
        if (heap_.empty()) {
            heap_.assign(stack_, length_);
        }
        heap_.append(part);
    }

    char stack_[96];
    size_t length_ = 0;
    std::string heap_;
};

// A text of one or two object numbers between fixed parts: before a, then after it (and b with
// what follows it).
class RefText : public ShortText {
  public:
    RefText(std::string_view before, int64_t a, std::string_view after) {
        append(before);
        pdf_syntax::appendDecimal(*this, a);
        append(after);
    }
    RefText(std::string_view before, int64_t a, std::string_view between, int64_t b,
            std::string_view after)
        : RefText(before, a, between) {
        pdf_syntax::appendDecimal(*this, b);
        append(after);
    }
};

// The value of an entry as text.
std::string_view valueOf(std::string_view text, const DictEntry& entry) {
    return text.substr(entry.valueStart, entry.valueEnd - entry.valueStart);
}

} // namespace

uint32_t CPdfStampPass::outputGeneration(int64_t number) const {
    if (number < 0 || static_cast<uint64_t>(number) >= inputEntries_->size()) {
        return 0; // an object the output adds
    }
    const XRefEntry& entry = (*inputEntries_)[static_cast<size_t>(number)];
    return entry.type == 1 ? static_cast<uint32_t>(entry.generation) : 0;
}

void CPdfStampPass::writeRewrittenObject(int64_t number, std::string_view text) {
    output_.setOutputEntry(number, outputGeneration(number), output_.offset(), true);
    output_.writeObject(number, outputGeneration(number), text, false);
    copy_.rewritten[static_cast<size_t>(number)] = true;
}

namespace {

// Sets the value of key in the dictionary at dict of text (adding the entry where it has none).
void setEntry(std::string& text, size_t dict, std::string_view key, std::string_view value) {
    if (const auto entry = pdf_syntax::findEntry(text, dict, key)) {
        // A value that followed its key without a space ("/Count/x") gets one before it, so
        // that it does not become a part of the key's name.
        const bool joined =
            entry->valueStart > 0 &&
            pdf_syntax::isRegular(static_cast<unsigned char>(text[entry->valueStart - 1]));
        text.replace(entry->valueStart, entry->valueEnd - entry->valueStart,
                     joined ? " " + std::string(value) : std::string(value));
        return;
    }
    std::string added = "/";
    added += key;
    added += ' ';
    added += value;
    added += ' ';
    text.insert(dict + 2, added);
}

// The kids that text lists from pos, each as whether it is a dictionary and the number it names.
std::vector<std::pair<bool, int64_t>> listedKids(std::string_view text, size_t pos) {
    std::vector<std::pair<bool, int64_t>> listed;
    PageTreeKid kid;
    while ((pos = readPageTreeKid(text, pos, kid)) != npos) {
        listed.emplace_back(kid.direct, kid.number);
    }
    return listed;
}

// The /Count of the node object text as a fetch of the node reads it: its kind (or None where
// the text does not parse) and its value where it is an integer.
std::pair<ElementKind, int64_t> parsedCount(const std::string& text) {
    const auto header = pdf_syntax::readObjectHeader(text);
    if (!header) {
        return {ElementKind::None, 0};
    }
    try {
        CPdfElement node;
        CPdfXRef::parseText(text, header->bodyStart, node);
        if (node.kind() != ElementKind::Dictionary) {
            return {node.kind(), 0};
        }
        CPdfElement count;
        node.getDictionary()->getEntry("Count", count);
        return {count.kind(),
                count.kind() == ElementKind::Integer ? count.getInteger64() : int64_t{0}};
    } catch (const CPdfException&) {
        return {ElementKind::None, 0};
    }
}

CPdfException damagedNode(int32_t node, std::string_view what) {
    return CPdfException("PDF file was damaged", "the page-tree node (object " +
                                                     std::to_string(node) + ") " +
                                                     std::string(what));
}

} // namespace

void CPdfStampPass::writeEditedNodes() {
    for (const CPageList::NodeEdit& edit : pages_.nodeEdits()) {
        writeEditedNode(edit);
    }
}

void CPdfStampPass::writeEditedNode(const CPageList::NodeEdit& edit) {
    std::string node;
    if (!getCopiedText(edit.node, node)) {
        throw damagedNode(edit.node, "cannot be read");
    }
    std::vector<PageTreeKid> kids;
    forEachPageTreeKid(node, [&kids](const PageTreeKid& kid) { kids.push_back(kid); });
    if (kids.empty()) {
        throw damagedNode(edit.node, "reads differently the second time");
    }
    // The kids at the own places name their new objects, those dropped go; every other byte
    // stays as it is written.
    std::vector<std::string_view> written(kids.size());
    for (size_t k = 0; k < kids.size(); ++k) {
        written[k] = std::string_view(node).substr(kids[k].start, kids[k].end - kids[k].start);
    }
    std::vector<std::string> ownReferences;
    ownReferences.reserve(edit.places.size());
    const std::vector<CPageList::OwnPlace>& places = pages_.ownPlaces();
    for (size_t k : edit.places) {
        if (places[k].kid >= kids.size()) {
            throw damagedNode(edit.node, "reads differently the second time");
        }
        written[places[k].kid] = ownReferences.emplace_back(RefText("", places[k].number, " 0 R"));
    }
    // A kid dropped right after the array's "[" or the kid before it (white-space between)
    // leaves nothing; after anything else it leaves "null", so that numbers passed over before
    // it cannot make a reference with what follows it ("6 0 2 0 R R" without "2 0 R").
    const size_t kidsAt = findPageTreeKids(node);
    const size_t open = node[kidsAt] == '[' ? kidsAt : pdf_syntax::skipWhitespace(node, kidsAt + 1);
    auto followsAKid = [&](size_t k) {
        const size_t from = k > 0 ? kids[k - 1].end : open + 1;
        if ((k == 0 && (open >= kids[0].start || node[open] != '[')) || from > kids[k].start) {
            return false;
        }
        return std::all_of(node.begin() + static_cast<std::ptrdiff_t>(from),
                           node.begin() + static_cast<std::ptrdiff_t>(kids[k].start), [](char c) {
                               return pdf_syntax::isWhitespace(static_cast<unsigned char>(c));
                           });
    };
    for (size_t kid : edit.dropped) {
        if (kid >= kids.size()) {
            throw damagedNode(edit.node, "reads differently the second time");
        }
        written[kid] = followsAKid(kid) ? std::string_view() : std::string_view("null");
    }
    std::string out;
    size_t copied = 0;
    for (size_t k = 0; k < kids.size(); ++k) {
        out.append(node, copied, kids[k].start - copied);
        out += written[k];
        copied = kids[k].end;
    }
    out.append(node, copied);
    // The node is written with one /Kids, the one read, and one /Count.
    if (const size_t dict = pdf_syntax::findBodyDictionary(out); dict != npos) {
        pdf_syntax::dropEarlierEntries(out, dict, "Kids");
        if (edit.count >= 0) {
            std::string count;
            pdf_syntax::appendDecimal(count, edit.count);
            setEntry(out, dict, "Count", count);
        }
        pdf_syntax::dropEarlierEntries(out, dict, "Count");
    }
    // The written node must list the kids written, and its /Count must read as the count set
    // or, kept as it is (the root's, smaller than the pages found, counts the pages stamped),
    // as before: in a node
    // damaged so that an edit changes how the rest reads (a /Count whose value is the name
    // /Kids, a page dictionary in /Kids that closed the node early), the output would have
    // other pages than those stamped, so it is refused.
    // The node ends with its "endobj", a keyword of its own, and keeps it: a dictionary left
    // open (an array that never closes) has its entries reach the object's end, where an
    // entry dropped would take the "endobj" with it, and a frame that ended at "endobj" glued
    // to a word ("Rendobj") reads otherwise once it is written.
    const size_t endobj = node.rfind("endobj");
    const bool endKept =
        endobj == npos ||
        (endobj > 0 && !pdf_syntax::isRegular(static_cast<unsigned char>(node[endobj - 1])) &&
         std::string_view(out).ends_with(std::string_view(node).substr(endobj)));
    std::string list;
    for (const std::string_view kid : written) {
        list += kid;
        list += ' ';
    }
    if (!endKept || listedKids(out, findPageTreeKids(out)) != listedKids(list, 0) ||
        parsedCount(out) !=
            (edit.count < 0 ? parsedCount(node) : std::pair{ElementKind::Integer, edit.count})) {
        throw damagedNode(edit.node, "cannot be written so that it reads the same");
    }
    writeRewrittenObject(edit.node, out);
    for (size_t k : edit.places) {
        const CPageList::OwnPlace& place = places[k];
        if (place.kid >= kids.size() || kids[place.kid].direct != place.direct ||
            (!place.direct && kids[place.kid].number != place.listed)) {
            throw damagedNode(edit.node, "reads differently the second time");
        }
        std::string text = ownPlaceText(place, node, kids);
        const bool inList = place.pageIndex < pages_.size();
        if (inList) {
            countPageProgress();
        }
        if (inList && isAnyStampSelected(static_cast<int32_t>(place.pageIndex + 1))) {
            page_.pageText = std::move(text);
            stampPageText(static_cast<int32_t>(place.number), place.pageIndex);
        } else {
            output_.setOutputEntry(place.number, 0, output_.offset(), true);
            output_.writeObject(place.number, 0, text, false);
        }
    }
}

std::string CPdfStampPass::ownPlaceText(const CPageList::OwnPlace& place, std::string_view nodeText,
                                        const std::vector<PageTreeKid>& kids) {
    std::string text;
    pdf_syntax::appendDecimal(text, place.number);
    text += " 0 obj\n";
    if (place.direct) {
        const PageTreeKid& kid = kids[place.kid];
        text.append(nodeText.substr(kid.start, kid.end - kid.start));
        text += "\nendobj\n";
    } else {
        std::string page;
        const auto header =
            place.listed <= INT32_MAX && getCopiedText(static_cast<int32_t>(place.listed), page)
                ? pdf_syntax::readObjectHeader(page)
                : std::nullopt;
        if (!header) {
            throw CPdfException("PDF file was damaged", "the page object " +
                                                            std::to_string(place.listed) +
                                                            " cannot be read again");
        }
        text.append(
            std::string_view(page).substr(pdf_syntax::skipWhitespace(page, header->bodyStart)));
    }
    const size_t dict = pdf_syntax::findBodyDictionary(text);
    if (dict != npos) {
        setEntry(text, dict, "Parent",
                 RefText("", place.node, " ", outputGeneration(place.node), " R"));
        pdf_syntax::dropEarlierEntries(text, dict, "Parent");
    }
    return text;
}

void CPdfStampPass::patchPage(std::string& page, int32_t pageObjectNumber, size_t pageIndex) {
    const int64_t save = static_cast<int64_t>(output_.rowCount()) - 2;
    const int64_t stamp = static_cast<int64_t>(output_.rowCount()) - 1;
    const size_t dict = pdf_syntax::findBodyDictionary(page);
    if (dict != npos) {
        // Both entries are found in one scan (or from the form of the pages before), and with
        // them, where the resources are a dictionary in the page, its font and graphics-state
        // entries. The edits of the contents move the entries along, or, where they may have
        // changed how the page reads, they are looked for again in the edited page.
        std::optional<DictEntry> found[2];
        std::optional<DictEntry> resourceEntries[std::size(kPageResourceKeys)];
        bool resourceEntriesKnown = pageShape_.findEntries(page, dict, found, resourceEntries);
        // A key given twice has its last value, which the edits below take; the earlier entry
        // (its key's bytes before the last) goes after them, so that the page written has one
        // of each (readers warn of the repeat).
        constexpr std::string_view kEntryKeys[] = {"/Contents", "/Resources"};
        bool repeated[2] = {};
        for (size_t k = 0; k < 2; ++k) {
            repeated[k] = found[k] && std::string_view(page)
                                              .substr(dict, found[k]->keyStart - dict)
                                              .find(kEntryKeys[k]) != npos;
        }
        CPdfEditLog edits;
        patchContents(page, dict, found[0], save, stamp, edits);
        std::optional<DictEntry> resources = found[1];
        if (resources && !edits.carry(*resources)) {
            resources = pdf_syntax::findEntry(page, dict, "Resources");
            resourceEntriesKnown = false;
        }
        for (std::optional<DictEntry>& entry : resourceEntries) {
            if (resourceEntriesKnown && entry && !edits.carry(*entry)) {
                resourceEntriesKnown = false;
            }
        }
        patchResources(page, dict, resources, pageIndex,
                       resourceEntriesKnown ? resourceEntries : nullptr);
        for (size_t k = 0; k < 2; ++k) {
            if (repeated[k]) {
                pdf_syntax::dropEarlierEntries(page, dict, kEntryKeys[k].substr(1));
            }
        }
    }
    output_.setOutputEntry(pageObjectNumber, outputGeneration(pageObjectNumber), output_.offset(),
                           true);
    output_.writeObject(pageObjectNumber, outputGeneration(pageObjectNumber), page, false);
}

namespace {

// Inserts part at pos of text and records it.
void insertLogged(std::string& text, size_t pos, std::string_view part, CPdfEditLog& edits) {
    text.insert(pos, part);
    edits.record(pos, 0, part.size());
}

} // namespace

namespace {

// A single content stream becomes an array of the save stream, it and the stamp stream. The
// closing bracket goes before the next key or the end of the dictionary where only white-space
// stands between, and before the line end that precedes it; else right after the reference,
// so that nothing but references goes into the array.
void wrapContentsReference(std::string& page, const DictEntry& contents, int64_t save,
                           int64_t stamp, CPdfEditLog& edits) {
    size_t close = contents.valueEnd;
    for (size_t i = contents.valueEnd; i < page.size(); ++i) {
        const char c = page[i];
        if (c == '/' || c == '<' || c == '>') {
            close = i;
            break;
        }
        if (!pdf_syntax::isWhitespace(static_cast<unsigned char>(c))) {
            break; // a comment or a stray object stays outside the array
        }
    }
    while (close > contents.valueEnd && (page[close - 1] == '\r' || page[close - 1] == '\n')) {
        --close;
    }
    // The array's two parts go in around the reference and what follows it up to the bracket,
    // built in place, so that the rest of the page moves once; the log has them as one
    // replacement of those bytes.
    char head[32]; // "[ save 0 R "
    head[0] = '[';
    head[1] = ' ';
    char* headEnd = std::to_chars(head + 2, head + sizeof head, save).ptr;
    std::memcpy(headEnd, " 0 R ", 5);
    headEnd += 5;
    char tail[32]; // " stamp 0 R ]"
    tail[0] = ' ';
    char* tailEnd = std::to_chars(tail + 1, tail + sizeof tail, stamp).ptr;
    std::memcpy(tailEnd, " 0 R ]", 6);
    tailEnd += 6;
    const size_t headSize = static_cast<size_t>(headEnd - head);
    const size_t tailSize = static_cast<size_t>(tailEnd - tail);
    const size_t oldSize = page.size();
    page.resize(oldSize + headSize + tailSize);
    char* const data = page.data();
    std::memmove(data + close + headSize + tailSize, data + close, oldSize - close);
    std::memmove(data + contents.valueStart + headSize, data + contents.valueStart,
                 close - contents.valueStart);
    std::memcpy(data + contents.valueStart, head, headSize);
    std::memcpy(data + close + headSize, tail, tailSize);
    edits.record(contents.valueStart, close - contents.valueStart,
                 close - contents.valueStart + headSize + tailSize);
}

} // namespace

void CPdfStampPass::patchContents(std::string& page, size_t dict,
                                  const std::optional<DictEntry>& contents, int64_t save,
                                  int64_t stamp, CPdfEditLog& edits) {
    if (!contents) {
        insertLogged(page, dict + 2, RefText("/Contents [ ", save, " 0 R ", stamp, " 0 R ]"),
                     edits);
        return;
    }
    // A reference, the common case, is read once (valueKind reads one to tell it).
    const std::string_view value = valueOf(page, *contents);
    int64_t number = 0;
    int64_t generation = 0;
    if (!value.empty() && pdf_syntax::isDigit(static_cast<unsigned char>(value[0])) &&
        pdf_syntax::readReference(value, number, generation)) {
        patchReferencedContents(page, *contents, number, save, stamp, edits);
        return;
    }
    switch (pdf_syntax::valueKind(page, *contents)) {
    case ValueKind::Array:
        // The array written in the page: the save stream first, the stamp stream last.
        insertLogged(page, contents->valueEnd - 1, RefText(" ", stamp, " 0 R "), edits);
        insertLogged(page, contents->valueStart + 1, RefText(" ", save, " 0 R "), edits);
        return;
    case ValueKind::Reference:
        pdf_syntax::readReference(value, number, generation);
        patchReferencedContents(page, *contents, number, save, stamp, edits);
        return;
    case ValueKind::Other:
        if (valueOf(page, *contents) == "null") {
            replaceContents(page, *contents, save, stamp, edits);
        }
        return;
    default:
        return;
    }
}

void CPdfStampPass::patchReferencedContents(std::string& page, const DictEntry& contents,
                                            int64_t number, int64_t save, int64_t stamp,
                                            CPdfEditLog& edits) {
    // A stream in the file: its first bytes show its dictionary (so neither its text, which may
    // be large, nor its end is read), or its frame says so. A frame found where the row leads
    // is the object's only where it starts with the object's own header (locateObject):
    // another object's stream there is not this one.
    ObjectFrame frame;
    if (number <= INT32_MAX &&
        (isPlainStreamObject(number) ||
         (objects_.locateObject(static_cast<int32_t>(number), frame) && frame.isStream))) {
        wrapContentsReference(page, contents, save, stamp, edits);
        return;
    }
    std::string target;
    if (number > INT32_MAX || !objects_.locateObject(static_cast<int32_t>(number), frame) ||
        !getObjectText(static_cast<int32_t>(number), target)) {
        // A reference to an object that is not there (freed by an update, or a row that leads
        // to another object) draws nothing: the page gets the two stamp streams alone, so that
        // the stamp still shows.
        reportMissingContents(number, "which is not in the file");
        replaceContents(page, contents, save, stamp, edits);
        return;
    }
    const size_t body = pdf_syntax::findBody(target);
    if (const size_t end = body == npos ? npos : pdf_syntax::skipObject(target, body);
        end != npos && std::string_view(target).substr(body, end - body) == "null") {
        replaceContents(page, contents, save, stamp, edits);
        return;
    }
    if (body != npos && target[body] == '[') {
        patchContentsArray(page, contents, number, target, body, save, stamp, edits);
        return;
    }
    if (frame.isStream) {
        wrapContentsReference(page, contents, save, stamp, edits);
        return;
    }
    // Neither a stream nor an array of them: viewers draw nothing of it, and neither is it
    // wrapped with the stamp's streams.
    reportMissingContents(number, "which is no stream");
    replaceContents(page, contents, save, stamp, edits);
}

bool CPdfStampPass::isPlainStreamObject(int64_t number) {
    if (number <= 0 || static_cast<uint64_t>(number) >= inputEntries_->size()) {
        return false;
    }
    const XRefEntry& row = (*inputEntries_)[static_cast<size_t>(number)];
    std::string_view text;
    if (row.type != 1 || row.offset < 0 ||
        !CPdfObjectFraming::headerWindow(*inputFile_, static_cast<uint64_t>(row.offset), text)) {
        return false;
    }
    return streamHead_.find(text, number) != npos && lastEndobjStart() >= row.offset;
}

int64_t CPdfStampPass::lastEndobjStart() {
    if (!copy_.lastEndobjKnown) {
        copy_.lastEndobjKnown = true;
        copy_.lastEndobj = -1;
        // Searched backwards from the end, piece by piece: past the last object stand only the
        // table and the trailer, which hold no "j". Pieces overlap by the keyword's length.
        constexpr uint64_t kPiece = 64 << 10;
        constexpr std::string_view kKeyword = "endobj";
        uint64_t end = inputFile_->size();
        while (end >= kKeyword.size() && copy_.lastEndobj < 0) {
            const uint64_t from = end > kPiece ? end - kPiece : 0;
            std::string_view piece;
            if (!inputFile_->view(from, static_cast<size_t>(end - from), piece) ||
                piece.size() != end - from) {
                break;
            }
            // The last "j" that ends the keyword, from the piece's end back; eight bytes at a
            // time are passed over where none of them is a "j" (a table is megabytes long).
            constexpr uint64_t kOnes = 0x0101010101010101ULL;
            for (size_t j = piece.size(); j > kKeyword.size() - 1;) {
                if (j >= 8) {
                    uint64_t word = 0;
                    std::memcpy(&word, piece.data() + j - 8, 8);
                    const uint64_t x = word ^ (kOnes * 'j');
                    if (((x - kOnes) & ~x & (kOnes * 0x80)) == 0) {
                        j -= 8;
                        continue;
                    }
                }
                --j;
                if (piece[j] == 'j' && j + 1 >= kKeyword.size() &&
                    piece.compare(j + 1 - kKeyword.size(), kKeyword.size(), kKeyword) == 0) {
                    copy_.lastEndobj = static_cast<int64_t>(from + j + 1 - kKeyword.size());
                    break;
                }
            }
            if (from == 0) {
                break;
            }
            end = from + kKeyword.size() - 1;
        }
    }
    return copy_.lastEndobj;
}

void CPdfStampPass::patchContentsArray(std::string& page, const DictEntry& contents, int64_t number,
                                       std::string& target, size_t body, int64_t save,
                                       int64_t stamp, CPdfEditLog& edits) {
    const size_t end = pdf_syntax::skipObject(target, body);
    if (end == npos) {
        return;
    }
    std::string array = target.substr(body, end - body);
    array.insert(array.size() - 1, RefText(" ", stamp, " 0 R "));
    array.insert(1, RefText(" ", save, " 0 R "));
    if (copy_.rewritten[static_cast<size_t>(number)] ||
        isContentsOfUnstampedPage(static_cast<int32_t>(number))) {
        // The array object is shared with a page stamped before, or with one that is not
        // stamped: this page gets its own array, so that every page shows its own stamp and no
        // other.
        const size_t removed = contents.valueEnd - contents.valueStart;
        page.replace(contents.valueStart, removed, array);
        edits.record(contents.valueStart, removed, array.size());
        return;
    }
    target.replace(body, end - body, array);
    writeRewrittenObject(number, target);
}

void CPdfStampPass::reportMissingContents(int64_t number, std::string_view what) const {
    reporter_.warning("Warning: '" + run_.inputNameShown() +
                      "' was damaged (a page's /Contents names object " + std::to_string(number) +
                      ", " + std::string(what) + "); the page's contents were left out");
}

void CPdfStampPass::noteReferencePast(int64_t number, uint64_t named) {
    if (named == 0 || copy_.referencePastNoted) {
        return;
    }
    copy_.referencePastNoted = true;
    reporter_.warning("Warning: '" + run_.inputNameShown() + "' was damaged (object " +
                      std::to_string(number) + " names object " + std::to_string(named) +
                      ", which is not in the file); such references are written as null");
}

void CPdfStampPass::replaceContents(std::string& page, const DictEntry& contents, int64_t save,
                                    int64_t stamp, CPdfEditLog& edits) {
    const RefText both("[ ", save, " 0 R ", stamp, " 0 R ]");
    const size_t removed = contents.valueEnd - contents.valueStart;
    page.replace(contents.valueStart, removed, both);
    edits.record(contents.valueStart, removed, std::string_view(both).size());
}

bool CPdfStampPass::isContentsOfUnstampedPage(int32_t number) {
    if (!copy_.unstampedContentsKnown) {
        // Found once a pass, and only for a pass that leaves pages out and meets a contents
        // array object: the objects that the pages not stamped name as their contents.
        copy_.unstampedContentsKnown = true;
        copy_.unstampedContents.clear();
        std::string text;
        for (size_t k = 0; k < pages_.size(); ++k) {
            if (isAnyStampSelected(static_cast<int32_t>(k + 1))) {
                continue;
            }
            const int32_t page = static_cast<int32_t>(pages_[k].objectNumber);
            const size_t dict =
                getObjectText(page, text) ? pdf_syntax::findBodyDictionary(text) : npos;
            const auto entry =
                dict == npos ? std::nullopt : pdf_syntax::findEntry(text, dict, "Contents");
            int64_t named = 0;
            int64_t generation = 0;
            if (entry && pdf_syntax::readReference(valueOf(text, *entry), named, generation) &&
                named <= INT32_MAX) {
                copy_.unstampedContents.push_back(static_cast<int32_t>(named));
            }
        }
        std::sort(copy_.unstampedContents.begin(), copy_.unstampedContents.end());
    }
    return std::binary_search(copy_.unstampedContents.begin(), copy_.unstampedContents.end(),
                              number);
}

template <class Edit>
void CPdfStampPass::rewriteReferencedDictionary(std::string_view text,
                                                const pdf_syntax::DictEntry& entry, Edit edit) {
    int64_t number = 0;
    int64_t generation = 0;
    pdf_syntax::readReference(valueOf(text, entry), number, generation);
    std::string object;
    if (number > INT32_MAX || !getObjectText(static_cast<int32_t>(number), object) ||
        copy_.rewritten[static_cast<size_t>(number)]) {
        return;
    }
    const size_t dict = pdf_syntax::findBodyDictionary(object);
    if (dict == npos) {
        return;
    }
    edit(object, dict);
    writeRewrittenObject(number, object);
}

void CPdfStampPass::patchResources(std::string& page, size_t dict,
                                   const std::optional<DictEntry>& resources, size_t pageIndex,
                                   const std::optional<DictEntry>* resourceEntries) {
    if (!resources) {
        // Resources inherited from a page-tree node (or none at all): the page gets its own
        // copy with the stamp's font and graphics state, so that the stamp can show.
        std::string own = inheritedResources(pageIndex);
        addStampResources(own, 0);
        page.insert(dict + 2, "/Resources " + own);
        return;
    }
    switch (pdf_syntax::valueKind(page, *resources)) {
    case ValueKind::Dictionary:
        addStampResources(page, resources->valueStart, resourceEntries);
        return;
    case ValueKind::Reference:
        rewriteReferencedDictionary(page, *resources, [this](std::string& text, size_t dict) {
            addStampResources(text, dict);
        });
        return;
    default:
        return;
    }
}

std::string CPdfStampPass::inheritedResources(size_t pageIndex) {
    const int32_t from = pages_[pageIndex].inheritedResourcesFrom;
    std::string node;
    if (from <= 0 || !getObjectText(from, node)) {
        return "<< >>";
    }
    const size_t nodeDict = pdf_syntax::findBodyDictionary(node);
    auto entry = pdf_syntax::findEntry(node, nodeDict, "Resources");
    if (!entry) {
        return "<< >>";
    }
    switch (pdf_syntax::valueKind(node, *entry)) {
    case ValueKind::Dictionary:
        return std::string(valueOf(node, *entry));
    case ValueKind::Reference: {
        int64_t number = 0;
        int64_t generation = 0;
        pdf_syntax::readReference(valueOf(node, *entry), number, generation);
        std::string text;
        if (number > INT32_MAX || !getObjectText(static_cast<int32_t>(number), text)) {
            return "<< >>";
        }
        const size_t start = pdf_syntax::findBodyDictionary(text);
        const size_t end = start == npos ? npos : pdf_syntax::findDictionaryEnd(text, start);
        if (end == npos) {
            return "<< >>";
        }
        return text.substr(start, end + 2 - start);
    }
    default:
        return "<< >>";
    }
}

void CPdfStampPass::makeStampResourceTexts() {
    // One key a stamp: " /name n 0 R".
    auto appendKey = [](std::string& out, std::string_view name, int32_t number) {
        out += " /";
        out += name;
        out += ' ';
        pdf_syntax::appendDecimal(out, number);
        out += " 0 R";
    };
    const auto& kKeys = kPageResourceKeys; // the kinds a stamp adds to
    for (size_t k = 0; k < std::size(kKeys); ++k) {
        std::string keys;
        for (const DrawnStamp& drawn : stamps_) {
            // A picture has an image and no font; a text has a font and no image.
            if (k == 0 && drawn.fontObjectNumber != 0) {
                appendKey(keys, drawn.fontResourceName, drawn.fontObjectNumber);
            } else if (k == 1) {
                appendKey(keys, drawn.graphicsStateName, drawn.graphicsStateObjectNumber);
            } else if (k == 2 && drawn.imageObjectNumber != 0) {
                appendKey(keys, drawn.imageName, drawn.imageObjectNumber);
            }
        }
        if (keys.empty()) {
            resourceTexts_.keys[k].clear(); // no stamp adds to this kind: its entry is left alone
            resourceTexts_.entry[k].clear();
            continue;
        }
        resourceTexts_.keys[k] = keys;
        resourceTexts_.keys[k] += ' ';
        // Built by appending: GCC 12 warns wrongly (-Wrestrict) of "/" + key and of assign("/").
        std::string& entry = resourceTexts_.entry[k];
        entry.clear();
        entry += '/';
        entry.append(kKeys[k]);
        entry.append(" <<");
        entry.append(keys);
        entry.append(" >>");
    }
}

void CPdfStampPass::addStampResources(std::string& buffer, size_t dictStart,
                                      const std::optional<DictEntry>* known) {
    // Each kind's entry is written only where it goes: as a whole dictionary
    // ("/Font << /F1 12 0 R >>") or as more keys of the page's own (" /F1 12 0 R ").
    // Both entries are found in one scan (or were found with the page's); the edits for the
    // font move the other entry along.
    const auto& kKeys = kPageResourceKeys; // the kinds a stamp adds to
    std::optional<DictEntry> found[std::size(kKeys)];
    if (known != nullptr) {
        std::copy(known, known + std::size(kKeys), found);
    } else {
        pdf_syntax::findEntries(buffer, dictStart, kKeys, found);
    }
    CPdfEditLog edits;
    for (size_t k = 0; k < std::size(kKeys); ++k) {
        if (resourceTexts_.keys[k].empty()) {
            continue;
        }
        std::optional<DictEntry> entry = found[k];
        if (entry && !edits.carry(*entry)) {
            entry = pdf_syntax::findEntry(buffer, dictStart, kKeys[k]);
        }
        if (!entry) {
            insertLogged(buffer, dictStart + 2, resourceTexts_.entry[k], edits);
            continue;
        }
        switch (pdf_syntax::valueKind(buffer, *entry)) {
        case ValueKind::Dictionary:
            insertLogged(buffer, entry->valueStart + 2, resourceTexts_.keys[k], edits);
            break;
        case ValueKind::Reference: {
            const std::string& keys = resourceTexts_.keys[k];
            rewriteReferencedDictionary(buffer, *entry, [&keys](std::string& text, size_t dict) {
                text.insert(dict + 2, keys);
            });
            break;
        }
        default:
            break;
        }
    }
}
