#include "pdf/CPdfObjectFraming.h"

#include "pdf/CPdfElement.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfInputFile.h"
#include "pdf/CPdfSecurityHandler.h"
#include "pdf/CPdfXRef.h"
#include "pdf/PdfSyntax.h"

#include <algorithm>
#include <string>

namespace {

// A stream dictionary larger than this is not examined; its object is then framed by the plain
// search for "endobj", as any object is.
constexpr uint64_t kMaxDictionaryBytes = 1 << 20;
// The first window of the search for the keyword that decides an object's frame.
constexpr uint64_t kFirstKeywordWindow = 256;
// The longest stream head (up to its data) whose shape is kept; longer ones, rare, are read
// each time.
constexpr size_t kMaxStreamShape = 128;

// A header lies in the first bytes at its offset: a row is taken as sound only when its header
// lies within as many.
constexpr size_t kHeaderWindow = 256;

// After the keyword "stream": the end-of-line that starts the data (CR LF, LF, or a lone CR),
// read from eol, the bytes after the keyword (two, or fewer at the end of the file).
uint64_t dataStartAfterKeyword(std::string_view eol, uint64_t afterKeyword) {
    if (eol.empty()) {
        return afterKeyword;
    }
    if (eol[0] == '\r') {
        return afterKeyword + ((eol.size() > 1 && eol[1] == '\n') ? 2 : 1);
    }
    return afterKeyword + (eol[0] == '\n' ? 1 : 0);
}

// True when "endstream" follows position pos after white-space only. endobj is then the last
// byte of the first "endobj" after it, as CPdfInputFile::find gives it (-1 for none): looked
// for in the bytes already at hand first (nearly always there: it follows the line end).
bool endstreamFollows(CPdfInputFile& input, uint64_t pos, int64_t& endobj) {
    std::string_view window;
    if (!input.view(pos, 512, window)) {
        return false;
    }
    size_t at = pdf_syntax::skipWhitespace(window, 0);
    if (window.compare(at, 9, "endstream") != 0) {
        return false;
    }
    const uint64_t afterEndstream = pos + at + 9;
    const size_t hit = pdf_syntax::findFirst(window.substr(at + 9), "endobj");
    endobj = hit != std::string_view::npos ? static_cast<int64_t>(afterEndstream + hit + 5)
                                           : input.find(afterEndstream, "endobj");
    return true;
}

bool isObjectStreamType(std::string_view head, const std::optional<pdf_syntax::DictEntry>& type) {
    if (!type) {
        return false;
    }
    std::string_view value = head.substr(type->valueStart, type->valueEnd - type->valueStart);
    return value == "/ObjStm";
}

// The first "stream" or "endobj" at or after start, whichever ends first: the last byte of the
// match, or -1 when there is neither.
struct FirstKeyword {
    int64_t end = -1;
    bool isStream = false;
};

// The last bytes of the first "stream" in the window of window bytes from from, and of the
// first "endobj" that ends before it (or anywhere in the window, when there is no "stream");
// -1 for none. The first window, where nearly every search ends, is searched in place.
void searchKeywordWindow(CPdfInputFile& input, uint64_t from, uint64_t window, int64_t& stream,
                         int64_t& endobj) {
    std::string_view bytes;
    if (window <= kFirstKeywordWindow && input.view(from, static_cast<size_t>(window), bytes)) {
        const size_t streamAt = pdf_syntax::findFirst(bytes, "stream");
        const size_t endobjAt = pdf_syntax::findFirst(
            streamAt == std::string_view::npos ? bytes : bytes.substr(0, streamAt + 6), "endobj");
        // The last byte of a match, from the base.
        auto lastByte = [from](size_t at) {
            return at == std::string_view::npos ? int64_t{-1} : static_cast<int64_t>(from + at + 5);
        };
        stream = lastByte(streamAt);
        endobj = lastByte(endobjAt);
        return;
    }
    const uint64_t limit = from + window - 1;
    stream = input.find(from, "stream", limit);
    endobj = input.find(from, "endobj", stream < 0 ? limit : static_cast<uint64_t>(stream));
}

FirstKeyword findPlainKeyword(CPdfInputFile& input, uint64_t start) {
    // Windows that double in size keep the search near the object: a search for "endobj" alone
    // would run through a stream's data, one for "stream" alone past many small objects.
    constexpr uint64_t kOverlap = 5; // a match that ends past a window begins this far inside
    uint64_t from = start;
    uint64_t window = kFirstKeywordWindow;
    while (from < input.size()) {
        int64_t stream = -1;
        int64_t endobj = -1;
        searchKeywordWindow(input, from, window, stream, endobj);
        if (endobj >= 0) {
            return {endobj, false};
        }
        if (stream >= 0) {
            return {stream, true};
        }
        const uint64_t limit = from + window - 1;
        if (limit + 1 >= input.size()) {
            break;
        }
        from = limit + 1 - kOverlap;
        window *= 2;
    }
    return {};
}

// The object's keyword found by its tokens, so that "endobj" or "stream" in a string, a
// comment, a name or an open dictionary or array does not end the object. The scan reads the
// object from its start in windows twice as long each time, so that what is open at a window's
// end is known; where it cannot decide (a string or a dictionary left open, no keyword within
// kMaxTokenScan bytes or before the end) the keyword is searched for as plain bytes. So is the
// keyword of an offset that does not lead to the object's own header, whose frame is not used:
// rows that point many numbers at one place scan its tokens once at most.
FirstKeyword findStreamOrEndobj(CPdfInputFile& input, uint64_t start, int32_t number) {
    constexpr uint64_t kMaxTokenScan = 8 << 20;
    for (uint64_t window = kFirstKeywordWindow; start < input.size() && window <= kMaxTokenScan;
         window *= 2) {
        std::string_view bytes;
        if (!input.view(start, static_cast<size_t>(window), bytes) || bytes.empty()) {
            break;
        }
        const pdf_syntax::ObjectKeyword hit = pdf_syntax::findObjectKeyword(bytes, 0, true);
        if (hit.kind == pdf_syntax::ObjectKeyword::kStream ||
            hit.kind == pdf_syntax::ObjectKeyword::kEndobj) {
            return {static_cast<int64_t>(start + hit.at + 5),
                    hit.kind == pdf_syntax::ObjectKeyword::kStream};
        }
        size_t bodyStart = 0;
        if (hit.kind != pdf_syntax::ObjectKeyword::kNeedMore ||
            start + bytes.size() >= input.size() ||
            (window == kFirstKeywordWindow &&
             !CPdfObjectFraming::headerNames(bytes, number, CPdfObjectFraming::kAnyGeneration,
                                             bodyStart))) {
            break;
        }
    }
    return findPlainKeyword(input, start);
}

// The /Length value of a stream dictionary as written: a direct integer or a reference.
struct LengthValue {
    bool present = false;
    bool isReference = false;
    int64_t value = -1; // the integer, or the referenced object number
    int64_t generation = 0;
};

LengthValue readLengthEntry(std::string_view head,
                            const std::optional<pdf_syntax::DictEntry>& entry) {
    LengthValue length;
    if (!entry) {
        return length;
    }
    std::string_view value(head.data() + entry->valueStart, entry->valueEnd - entry->valueStart);
    if (pdf_syntax::readReference(value, length.value, length.generation)) {
        length.present = true;
        length.isReference = true;
    } else if (pdf_syntax::readInteger(value, length.value)) {
        length.present = true;
    }
    return length;
}

} // namespace

bool CPdfObjectFraming::headerNames(std::string_view text, int64_t number, int64_t generation,
                                    size_t& bodyStart) {
    const auto header = pdf_syntax::readObjectHeader(text);
    if (!header || header->number != number ||
        (generation != kAnyGeneration && header->generation != generation)) {
        return false;
    }
    bodyStart = header->bodyStart;
    return true;
}

bool CPdfObjectFraming::headerWindow(CPdfInputFile& input, uint64_t offset,
                                     std::string_view& text) {
    return input.view(offset, kHeaderWindow, text);
}

void CPdfObjectFraming::attach(CPdfInputFile& input, CPdfXRef& xref) {
    input_ = &input;
    xref_ = &xref;
    entries_ = &xref.entries();
    security_ = xref.security();
    cache_.fill(CachedFrame{});
    cacheNext_ = 0;
    kept_.clear();
    isKept_.clear();
    keptByNumber_.clear();
    keptUnpacked_ = CachedFrame{};
    keptHint_ = 0;
    walkShape_.reset(); // the first object's shape is kept
    streamShape_.forget();
}

bool CPdfObjectFraming::readPlainLength(int32_t number, int64_t generation, int64_t& value) {
    if (number < 0 || static_cast<size_t>(number) >= entries_->size()) {
        return false;
    }
    const XRefEntry& entry = (*entries_)[static_cast<size_t>(number)];
    if (entry.type != 1 || entry.offset < 0 || entry.generation != generation) {
        return false;
    }
    std::string_view text;
    size_t bodyStart = 0;
    return headerWindow(*input_, static_cast<uint64_t>(entry.offset), text) &&
           headerNames(text, number, generation, bodyStart) &&
           pdf_syntax::readPlainIntegerBody(text, bodyStart, value);
}

bool CPdfObjectFraming::findObjectFrame(int32_t number, ObjectFrame& out) {
    out = ObjectFrame{};
    if (entries_ == nullptr || number < 0 || static_cast<size_t>(number) >= entries_->size()) {
        return false;
    }
    const XRefEntry& entry = (*entries_)[static_cast<size_t>(number)];
    if (entry.type != 1 || entry.offset < 0) {
        return false;
    }
    if (const CachedFrame* known = knownFrame(number)) {
        out = known->frame;
        return known->found;
    }
    bool ownHeader = false;
    const bool found = frameObject(number, static_cast<uint64_t>(entry.offset), out, ownHeader);
    if (!found) {
        out = ObjectFrame{};
    }
    cache_[cacheNext_] = CachedFrame{number, found, out, found && ownHeader};
    cacheNext_ = (cacheNext_ + 1) % cache_.size();
    return found;
}

bool CPdfObjectFraming::locateObject(int32_t number, ObjectFrame& frame) {
    if (entries_ == nullptr || number < 0 || static_cast<size_t>(number) >= entries_->size()) {
        return false;
    }
    const XRefEntry& entry = (*entries_)[static_cast<size_t>(number)];
    if (entry.type == 2) {
        return true;
    }
    if (entry.type != 1 || !findObjectFrame(number, frame) || frame.isObjectStream) {
        return false;
    }
    if (const CachedFrame* known = knownFrame(number); known != nullptr && known->ownHeader) {
        return true;
    }
    // An offset that does not lead to this object's header would copy foreign bytes.
    std::string_view head;
    size_t bodyStart = 0;
    return headerWindow(*input_, frame.start, head) &&
           headerNames(head, number, kAnyGeneration, bodyStart);
}

bool CPdfObjectFraming::framedStreamHead(const ObjectFrame& frame, std::string& head) {
    if (!input_->read(frame.start, static_cast<size_t>(frame.keywordStart - frame.start), head)) {
        return false;
    }
    const size_t dict = pdf_syntax::findBodyDictionary(head);
    if (dict == pdf_syntax::npos) {
        return true;
    }
    const std::string length = std::to_string(frame.framedLength);
    if (const auto entry = pdf_syntax::findEntry(head, dict, "Length")) {
        std::string value = " " + length;
        if (entry->valueEnd < head.size() &&
            pdf_syntax::isRegular(static_cast<unsigned char>(head[entry->valueEnd]))) {
            value += " ";
        }
        head.replace(entry->keyStart + 7, entry->valueEnd - entry->keyStart - 7, value);
    } else {
        head.insert(dict + 2, "/Length " + length + " ");
    }
    return true;
}

bool CPdfObjectFraming::frameObject(int32_t number, uint64_t start, ObjectFrame& out,
                                    bool& ownHeader) {
    ownHeader = false;
    if (frameByStreamShape(number, start, out, ownHeader)) {
        return true;
    }
    ownHeader = false;
    out = ObjectFrame{};
    return readFrame(number, start, out);
}

bool CPdfObjectFraming::frameByStreamShape(int32_t number, uint64_t start, ObjectFrame& out,
                                           bool& ownHeader) {
    std::string_view window;
    if (!streamShape_.isKept() || !input_->view(start, kFirstKeywordWindow, window) ||
        !streamShape_.matchBytes(window)) {
        return false;
    }
    // The shape now has the window's number lengths: it ends where the data starts.
    const size_t dataAt = streamShape_.length();
    const uint64_t length = streamShape_.valueAt(window, streamLengthPlace_);
    const uint64_t dataStart = start + dataAt;
    int64_t realEnd = -1;
    if (length > input_->size() - dataStart ||
        !endstreamFollows(*input_, dataStart + length, realEnd) || realEnd < 0) {
        return false;
    }
    out = ObjectFrame{};
    out.start = start;
    out.isStream = true;
    // The shape's header is the object's own (keepStreamShape), so a window of the shape whose
    // number is this one starts with this object's header: locateObject need not read it.
    ownHeader = streamShape_.valueAt(window, 0) == static_cast<uint64_t>(number);
    return frameToEndobj(start, realEnd, out);
}

void CPdfObjectFraming::keepStreamShape(int32_t number, std::string_view bytes, size_t dataAt,
                                        size_t lengthStart, size_t lengthEnd) {
    // The line end, the last of the shape's bytes, is LF or CR LF: the data starts after it
    // whatever byte follows (after a lone CR it would depend on that byte). The header is the
    // object's own, its number the shape's first place.
    size_t bodyStart = 0;
    if (dataAt > kMaxStreamShape || dataAt > bytes.size() || bytes[dataAt - 1] != '\n' ||
        !headerNames(bytes, number, kAnyGeneration, bodyStart) ||
        !streamShape_.keepHead(bytes.substr(0, dataAt), {})) {
        return;
    }
    streamLengthPlace_ = streamShape_.placeSpanning(lengthStart, lengthEnd);
    if (streamLengthPlace_ == CPdfObjectShape::kNoPosition) {
        streamShape_.forget();
    }
}

bool CPdfObjectFraming::readFrame(int32_t number, uint64_t start, ObjectFrame& out) {
    out.start = start;
    const FirstKeyword first = findStreamOrEndobj(*input_, start, number);
    if (first.end < 0) {
        return false;
    }
    if (!first.isStream) {
        return frameToEndobj(start, first.end, out);
    }
    // "stream" comes before the first "endobj": the stream frame when it holds, else the plain
    // frame, for which the first "endobj" is still to be found.
    const uint64_t keywordStart = static_cast<uint64_t>(first.end) - 5;
    if (keywordStart < start || keywordStart - start > kMaxDictionaryBytes) {
        return frameToFirstEndobj(start, out);
    }
    // The object's text up to the keyword, and the line end after it, in one view.
    const size_t headLength = static_cast<size_t>(keywordStart - start);
    std::string_view bytes;
    if (!input_->view(start, headLength + 8, bytes) || bytes.size() < headLength) {
        return frameToFirstEndobj(start, out);
    }
    const std::string_view head = bytes.substr(0, headLength);
    const std::string_view eol = bytes.substr(std::min(bytes.size(), headLength + 6), 2);
    const size_t dictStart = pdf_syntax::findBodyDictionary(head);
    if (dictStart == pdf_syntax::npos) {
        return frameToFirstEndobj(start, out);
    }
    constexpr std::string_view kKeys[] = {"Type", "Length"};
    std::optional<pdf_syntax::DictEntry> found[2];
    const size_t dictEnd = pdf_syntax::findEntriesAndEnd(head, dictStart, kKeys, found);
    if (dictEnd == pdf_syntax::npos ||
        pdf_syntax::skipWhitespace(head, dictEnd + 2) != head.size()) {
        // "stream" is not the keyword right after the object's dictionary.
        return frameToFirstEndobj(start, out);
    }
    out.isStream = true;
    out.isObjectStream = isObjectStreamType(head, found[0]);
    const LengthValue lengthEntry = readLengthEntry(head, found[1]);

    const uint64_t dataStart = dataStartAfterKeyword(eol, keywordStart + 6);
    // With a usable /Length the data is skipped, so "endobj" inside the data is not taken for
    // the end of the object.
    if (!lengthEntry.present) {
        return frameByEndstream(start, keywordStart, dataStart, out);
    }
    int64_t length = lengthEntry.value;
    if (lengthEntry.isReference &&
        !resolveIndirectLength(number, lengthEntry.value, lengthEntry.generation, length)) {
        return frameToFirstEndobj(start, out);
    }
    if (length < 0 || static_cast<uint64_t>(length) > input_->size() - dataStart) {
        return frameByEndstream(start, keywordStart, dataStart, out);
    }
    int64_t realEnd = -1;
    if (!endstreamFollows(*input_, dataStart + static_cast<uint64_t>(length), realEnd)) {
        return frameByEndstream(start, keywordStart, dataStart, out);
    }
    if (realEnd < 0) {
        return frameToFirstEndobj(start, out);
    }
    if (!lengthEntry.isReference && !out.isObjectStream) {
        keepStreamShape(number, bytes, static_cast<size_t>(dataStart - start), found[1]->valueStart,
                        found[1]->valueEnd);
    }
    return frameToEndobj(start, realEnd, out);
}

bool CPdfObjectFraming::frameToEndobj(uint64_t start, int64_t endobj, ObjectFrame& out) const {
    if (endobj < 0) {
        return false;
    }
    out.length = std::min<uint64_t>(static_cast<uint64_t>(endobj) + 2, input_->size()) - start;
    return true;
}

bool CPdfObjectFraming::frameToFirstEndobj(uint64_t start, ObjectFrame& out) const {
    return frameToEndobj(start, input_->find(start, "endobj"), out);
}

bool CPdfObjectFraming::frameByEndstream(uint64_t start, uint64_t keywordStart, uint64_t dataStart,
                                         ObjectFrame& out) const {
    const int64_t endstream = input_->find(dataStart, "endstream");
    if (endstream < 0) {
        return frameToFirstEndobj(start, out);
    }
    const uint64_t endstreamAt = static_cast<uint64_t>(endstream) - 8;
    const int64_t realEnd = input_->find(endstreamAt + 9, "endobj");
    if (realEnd < 0) {
        return frameToFirstEndobj(start, out);
    }
    // The line end before "endstream" belongs to the keyword, not to the data.
    uint64_t dataEnd = endstreamAt;
    std::string_view before;
    if (dataEnd > dataStart && input_->view(dataEnd - 1, 1, before) && before == "\n") {
        --dataEnd;
    }
    if (dataEnd > dataStart && input_->view(dataEnd - 1, 1, before) && before == "\r") {
        --dataEnd;
    }
    out.framedLength = static_cast<int64_t>(dataEnd - dataStart);
    out.keywordStart = keywordStart;
    return frameToEndobj(start, realEnd, out);
}

bool CPdfObjectFraming::resolveIndirectLength(int32_t number, int64_t lengthNumber,
                                              int64_t lengthGeneration, int64_t& length) {
    if (lengthNumber == number || xref_ == nullptr || lengthNumber > INT32_MAX ||
        lengthGeneration > INT32_MAX) {
        return false;
    }
    length = -1;
    if (readPlainLength(static_cast<int32_t>(lengthNumber), lengthGeneration, length)) {
        return true;
    }
    try {
        CPdfElement resolved;
        xref_->fetchObject(static_cast<int32_t>(lengthNumber),
                           static_cast<int32_t>(lengthGeneration), resolved);
        if (resolved.kind() == ElementKind::Integer) {
            length = resolved.getInteger();
        }
    } catch (const CPdfException&) {
        return false;
    }
    return true;
}

bool CPdfObjectFraming::getObjectText(int32_t number, std::string& out) {
    out.clear();
    if (entries_ == nullptr || number < 0 || static_cast<size_t>(number) >= entries_->size()) {
        return false;
    }
    const XRefEntry& entry = (*entries_)[static_cast<size_t>(number)];
    if (entry.type == 1) {
        ObjectFrame frame;
        if (!findObjectFrame(number, frame)) {
            return false;
        }
        if (!input_->read(frame.start, static_cast<size_t>(frame.length), out) || out.empty()) {
            return false;
        }
        // The strings of a protected file's object, decrypted: the engine reads and writes
        // clear text, which the writer encrypts again.
        if (security_ != nullptr) {
            out = security_->decryptStringsOfText(number, entry.generation, out);
        }
        return true;
    }
    if (entry.type == 2 && xref_ != nullptr) {
        const unsigned char* data = nullptr;
        size_t length = 0;
        if (!xref_->getCompressedObjectText(number, data, length) || data == nullptr ||
            length == 0) {
            return false;
        }
        out.clear();
        pdf_syntax::appendDecimal(out, number);
        out += " 0 obj\r";
        out.append(reinterpret_cast<const char*>(data), length);
        out += " endobj\r";
        return true;
    }
    return false;
}

const CPdfObjectFraming::CachedFrame* CPdfObjectFraming::knownFrame(int32_t number) const {
    // An object's frame depends on its number alone, so whichever store holds it gives the
    // same frame: the kept frames, then the few last framed (a page's content stream, asked for
    // again and again).
    if (static_cast<size_t>(number) < isKept_.size() && isKept_[static_cast<size_t>(number)]) {
        if (const KeptFrame* kept = keptFrame(number)) {
            // Unpacked where the last one was, unless it is that one.
            if (keptUnpacked_.number != number || keptUnpacked_.frame.start != kept->start) {
                keptUnpacked_.number = number;
                keptUnpacked_.found = true;
                keptUnpacked_.frame = ObjectFrame{};
                keptUnpacked_.frame.start = kept->start;
                keptUnpacked_.frame.length = kept->length;
                keptUnpacked_.ownHeader = kept->ownHeader;
            }
            return &keptUnpacked_;
        }
    }
    for (const CachedFrame& cached : cache_) {
        if (cached.number == number) {
            return &cached;
        }
    }
    return nullptr;
}

const CPdfObjectFraming::KeptFrame* CPdfObjectFraming::keptFrame(int32_t number) const {
    // The one found last or the next: pages come in their order.
    for (size_t at = keptHint_; at < kept_.size() && at <= keptHint_ + 1; ++at) {
        if (kept_[at].number == number) {
            keptHint_ = at;
            return &kept_[at];
        }
    }
    // Frames kept since the index was sorted: a few are looked through; once they are as many
    // as those indexed, the index takes them in (so that sorting costs O(n log n) in all).
    constexpr size_t kScannedTail = 64;
    const size_t indexed = keptByNumber_.size();
    if (kept_.size() - indexed <= kScannedTail) {
        for (size_t at = indexed; at < kept_.size(); ++at) {
            if (kept_[at].number == number) {
                keptHint_ = at;
                return &kept_[at];
            }
        }
    } else if (kept_.size() - indexed >= indexed) {
        const auto byNumber = [this](uint32_t a, uint32_t b) {
            return kept_[a].number < kept_[b].number;
        };
        for (size_t at = indexed; at < kept_.size(); ++at) {
            keptByNumber_.push_back(static_cast<uint32_t>(at));
        }
        std::sort(keptByNumber_.begin() + static_cast<std::ptrdiff_t>(indexed), keptByNumber_.end(),
                  byNumber);
        std::inplace_merge(keptByNumber_.begin(),
                           keptByNumber_.begin() + static_cast<std::ptrdiff_t>(indexed),
                           keptByNumber_.end(), byNumber);
    }
    const auto found =
        std::lower_bound(keptByNumber_.begin(), keptByNumber_.end(), number,
                         [this](uint32_t at, int32_t n) { return kept_[at].number < n; });
    if (found != keptByNumber_.end() && kept_[*found].number == number) {
        keptHint_ = *found;
        return &kept_[*found];
    }
    return nullptr;
}

void CPdfObjectFraming::keepWalkedFrame(int32_t number, bool found, const ObjectFrame& frame,
                                        size_t ownHeaderEnd) {
    if (isKept_.size() != entries_->size()) {
        isKept_.assign(entries_->size(), false);
    }
    // An object met again (a page listed twice) has the frame kept the first time. Only the
    // frames of plain objects are kept, as pages are: a stream, a frame that could not be made
    // or one too long to pack is framed again when it is asked for.
    if (!found || frame.isStream || frame.isObjectStream || frame.framedLength >= 0 ||
        frame.length > KeptFrame::kMaxLength || isKept_[static_cast<size_t>(number)] ||
        kept_.size() >= UINT32_MAX) {
        return;
    }
    isKept_[static_cast<size_t>(number)] = true;
    KeptFrame& kept = kept_.emplace_back();
    kept.start = frame.start;
    kept.number = number;
    kept.length = static_cast<uint32_t>(frame.length);
    // A header read from the start of the frame's bytes is read so from the window headerNames
    // judges as well, where both hold it and the byte after it: a header that is read decides
    // from those bytes alone.
    kept.ownHeader = ownHeaderEnd < frame.length && ownHeaderEnd < kHeaderWindow;
}

bool CPdfObjectFraming::readWalkedObject(int32_t number, KeyFinder findKeys, std::string& buffer,
                                         WalkedObject& out) {
    out = WalkedObject{};
    if (entries_ == nullptr || number < 0 || static_cast<size_t>(number) >= entries_->size()) {
        return false;
    }
    const XRefEntry& entry = (*entries_)[static_cast<size_t>(number)];
    const bool inPlace =
        security_ == nullptr && input_->viewsLast() && entry.type == 1 && entry.offset >= 0;
    const uint64_t start = static_cast<uint64_t>(entry.offset);
    std::string_view window;
    // An object of the kept shape: its frame, header, body and keys are where the shape has
    // them.
    if (inPlace && walkShape_.isKept() && input_->view(start, kFirstKeywordWindow, window) &&
        !window.empty()) {
        CPdfObjectShape::Reading shaped;
        if (walkShape_.match(window, shaped) && input_->view(start, shaped.frameLength, out.text) &&
            out.text.size() == shaped.frameLength) {
            walkShape_.noteMatch();
            out.header = shaped.header;
            out.body = shaped.body;
            std::copy(shaped.keys, shaped.keys + CPdfObjectShape::kMaxKeys, out.keys);
            ObjectFrame frame;
            frame.start = start;
            frame.length = shaped.frameLength;
            keepWalkedFrame(number, true, frame,
                            shaped.header.number == number ? shaped.header.bodyStart : kNoHeader);
            return true;
        }
        out.text = {};
    }
    ObjectFrame frame;
    bool found = false;
    if (inPlace) {
        // The bytes getObjectText copies, seen where they lie: the frame that findObjectFrame
        // finds, made here without its lookup (an object's frame depends on its number alone).
        bool ownHeader = false;
        found = frameObject(number, start, frame, ownHeader);
        if (!found || !input_->view(frame.start, static_cast<size_t>(frame.length), out.text) ||
            out.text.empty()) {
            out.text = {};
            return false;
        }
    } else {
        out.inBuffer = true;
        if (!getObjectText(number, buffer)) {
            return false;
        }
        out.text = buffer;
        found = findObjectFrame(number, frame);
    }
    // The body as pdf_syntax::findBody finds it, from the header read here once.
    out.header = pdf_syntax::readObjectHeader(out.text);
    out.body =
        out.header ? pdf_syntax::skipWhitespace(out.text, out.header->bodyStart) : pdf_syntax::npos;
    if (out.body >= out.text.size()) {
        out.body = pdf_syntax::npos;
    }
    if (out.body != pdf_syntax::npos) {
        findKeys(out.text, out.keys);
    }
    keepWalkedFrame(number, found, frame,
                    !out.inBuffer && out.header && out.header->number == number
                        ? out.header->bodyStart
                        : kNoHeader);
    // The shape of an object seen in place is kept when the kept one has not matched for a
    // while (CPdfObjectShape::noteMiss).
    if (!out.inBuffer && out.body != pdf_syntax::npos && walkShape_.noteMiss()) {
        CPdfObjectShape::Reading reading;
        reading.frameLength = out.text.size();
        reading.header = *out.header;
        reading.body = out.body;
        std::copy(out.keys, out.keys + CPdfObjectShape::kMaxKeys, reading.keys);
        if (!input_->view(start, kFirstKeywordWindow, window) || window.empty() ||
            !walkShape_.keep(window, reading)) {
            walkShape_.forget();
        }
    }
    return true;
}
