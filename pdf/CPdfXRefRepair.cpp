#include "pdf/CPdfXRefRepair.h"

#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfFileStream.h"
#include "pdf/CPdfInputFile.h"
#include "pdf/CPdfParser.h"
#include "pdf/Limits.h"
#include "pdf/PdfSyntax.h"

#include <algorithm>
#include <memory>

namespace {

// The bytes looked at in one step of the scan between objects: at most kScanWindow, taken as
// the file holds them together, and at least kMinScanStep.
constexpr size_t kScanWindow = 512 << 10;
constexpr size_t kMinScanStep = 4096;
// Bytes before a step's start that a header cut by the step's start may take ("N G ").
constexpr size_t kHeaderLookBack = 32;
// The first window of an object's framing; it doubles up to kMaxObjectWindow while the object
// goes on. An object without its keyword within kMaxObjectScan bytes is taken as ending there.
constexpr size_t kFirstObjectWindow = 4096;
constexpr size_t kMaxObjectWindow = 1 << 20;
constexpr uint64_t kMaxObjectScan = 8 << 20;
// A dictionary larger than this is not examined for its /Type and /Length.
constexpr uint64_t kMaxDictionaryBytes = 1 << 20;

bool isRegularByte(char c) {
    return pdf_syntax::isRegular(static_cast<unsigned char>(c));
}

// The start of "N G " before the "obj" at objAt, when the bytes before it are a header's
// digits and white-space and a token ends before them; npos otherwise. atFileStart: the text
// begins at the file's header.
size_t headerStart(std::string_view text, size_t objAt, bool atFileStart) {
    if (objAt + 3 < text.size() && isRegularByte(text[objAt + 3])) {
        return pdf_syntax::npos; // "object", "objects"
    }
    size_t pos = objAt;
    for (int field = 0; field < 2; ++field) {
        const size_t spaceEnd = pos;
        while (pos > 0 && pdf_syntax::isWhitespace(static_cast<unsigned char>(text[pos - 1]))) {
            --pos;
        }
        const size_t digitsEnd = pos;
        if (digitsEnd == spaceEnd) {
            return pdf_syntax::npos;
        }
        while (pos > 0 && pdf_syntax::isDigit(static_cast<unsigned char>(text[pos - 1]))) {
            --pos;
        }
        if (pos == digitsEnd || digitsEnd - pos > 10) {
            return pdf_syntax::npos;
        }
    }
    if (pos == 0) {
        return atFileStart ? 0 : pdf_syntax::npos; // otherwise it may go on before the text
    }
    // A header glued to the word before it is none.
    return isRegularByte(text[pos - 1]) ? pdf_syntax::npos : pos;
}

std::string_view valueText(std::string_view text, const std::optional<pdf_syntax::DictEntry>& e) {
    return e ? text.substr(e->valueStart, e->valueEnd - e->valueStart) : std::string_view{};
}

} // namespace

CPdfXRef::Repair::Repair(CPdfXRef& xref)
    : xref_(xref), input_(xref.file_->input()), size_(xref.file_->fileSize()),
      maxRows_(xref.maxRows()) {}

void CPdfXRef::Repair::run() {
    scan();
    addObjectStreamMembers();
    chooseTrailer();
}

void CPdfXRef::Repair::scan() {
    uint64_t pos = 0;
    while (pos < size_) {
        const size_t back = static_cast<size_t>(std::min<uint64_t>(pos, kHeaderLookBack));
        // The bytes that lie together from the step's start, as they are held (no copy); a
        // step that starts just before the end of what is held takes a short copied window.
        std::string_view text;
        if (!input_.piece(pos - back, kScanWindow + back, text)) {
            break;
        }
        if (text.size() < back + kMinScanStep &&
            !input_.view(pos - back, kMinScanStep + back, text)) {
            break;
        }
        if (text.size() <= back) {
            break;
        }
        const std::string_view rest = text.substr(back);
        const size_t objAt = pdf_syntax::findFirst(rest, "obj");
        const size_t trailerAt = pdf_syntax::findFirst(
            objAt == pdf_syntax::npos ? rest : rest.substr(0, objAt), "trailer");
        if (trailerAt != pdf_syntax::npos) {
            pos += trailerAt + 7;
            readTrailerDictionary(pos);
            continue;
        }
        const bool atEnd = pos + rest.size() >= size_;
        // An "obj" that ends the window may go on past it ("objects"): the next step decides.
        if (objAt == pdf_syntax::npos || (objAt + 3 == rest.size() && !atEnd)) {
            if (atEnd) {
                break;
            }
            // A keyword cut by the window's end is found by the next step.
            pos += rest.size() > 8 ? rest.size() - 8 : rest.size();
            continue;
        }
        const size_t start = headerStart(text, back + objAt, pos == back);
        if (start == pdf_syntax::npos) {
            pos += objAt + 3;
            continue;
        }
        const auto header = pdf_syntax::readObjectHeader(text.substr(start));
        if (!header) {
            pos += objAt + 3;
            continue;
        }
        const uint64_t headerAt = pos - back + start;
        pos = std::max(readObject(headerAt, header->number, header->generation, header->bodyStart),
                       pos + objAt + 3);
    }
}

void CPdfXRef::Repair::record(int64_t number, int64_t generation, uint64_t offset) {
    if (number < 0 || number >= maxRows_ || generation < 0 ||
        generation > XRefEntry::kMaxGeneration ||
        offset > static_cast<uint64_t>(XRefEntry::kMaxOffset)) {
        return;
    }
    std::vector<XRefEntry>& entries = xref_.entries_;
    if (static_cast<size_t>(number) >= entries.size()) {
        entries.resize(static_cast<size_t>(number) + 1);
    }
    XRefEntry& row = entries[static_cast<size_t>(number)];
    row.type = 1;
    row.offset = static_cast<int64_t>(offset);
    row.generation = generation;
}

uint64_t CPdfXRef::Repair::readObject(uint64_t offset, int64_t number, int64_t generation,
                                      size_t bodyStart) {
    // The keyword that ends the object's frame, found by its tokens window by window.
    uint64_t from = offset;
    size_t window = kFirstObjectWindow;
    pdf_syntax::ObjectKeyword hit;
    for (;;) {
        std::string_view bytes;
        if (!input_.view(from, window, bytes) || bytes.empty()) {
            record(number, generation, offset);
            return size_;
        }
        hit = pdf_syntax::findObjectKeyword(bytes, 0, from == offset);
        if (hit.kind == pdf_syntax::ObjectKeyword::kStream ||
            hit.kind == pdf_syntax::ObjectKeyword::kEndobj) {
            break;
        }
        if (hit.kind == pdf_syntax::ObjectKeyword::kNextObject) {
            // Not closed: the object is taken as it is, and the scan goes on at what ended it.
            record(number, generation, offset);
            return std::max(from + hit.at, offset + bodyStart);
        }
        if (from + bytes.size() >= size_ || from - offset > kMaxObjectScan) {
            record(number, generation, offset);
            return std::max(from + hit.at, offset + bodyStart);
        }
        if (hit.at == 0 && window >= kMaxObjectWindow) {
            record(number, generation, offset);
            return from + bytes.size();
        }
        from += hit.at;
        window = std::min(window * 2, kMaxObjectWindow);
    }
    const uint64_t keywordAt = from + hit.at;
    record(number, generation, offset);

    // The dictionary before the keyword: a catalog, an object stream, a cross-reference stream,
    // a stream's /Length.
    int64_t length = -1;
    std::string_view head;
    if (keywordAt - offset <= kMaxDictionaryBytes &&
        input_.view(offset, static_cast<size_t>(keywordAt - offset), head)) {
        // An object left without its "endobj": the next header before the keyword ends it.
        for (size_t from = std::min(bodyStart, head.size());;) {
            const size_t objAt = pdf_syntax::findFirst(head.substr(from), "obj");
            if (objAt == pdf_syntax::npos) {
                break;
            }
            const size_t start = headerStart(head, from + objAt, false);
            if (start != pdf_syntax::npos && start >= bodyStart &&
                pdf_syntax::readObjectHeader(head.substr(start))) {
                return offset + start;
            }
            from += objAt + 3;
        }
        const size_t dict = pdf_syntax::findBodyDictionary(head);
        if (dict != pdf_syntax::npos) {
            constexpr std::string_view kKeys[] = {"Type", "Length", "Encrypt", "Filter"};
            std::optional<pdf_syntax::DictEntry> found[4];
            pdf_syntax::findEntries(head, dict, kKeys, found);
            const std::string_view type = valueText(head, found[0]);
            const Found here{static_cast<int32_t>(number), static_cast<int32_t>(generation),
                             static_cast<int64_t>(offset)};
            if (type == "/Catalog") {
                lastCatalog_ = here;
            } else if (hit.kind == pdf_syntax::ObjectKeyword::kStream && type == "/XRef") {
                lastXRefStream_ = here;
                if (found[2]) {
                    lastProtectedXRefStream_ = here;
                }
            } else if (hit.kind == pdf_syntax::ObjectKeyword::kStream && type == "/ObjStm" &&
                       number < maxRows_ && objectStreams_.size() < static_cast<size_t>(maxRows_)) {
                objectStreams_.emplace_back(offset, static_cast<int32_t>(number));
            } else if (valueText(head, found[3]) == "/Standard") {
                lastSecurityDictionary_ = here;
            }
            int64_t value = 0;
            if (found[1] && pdf_syntax::readInteger(valueText(head, found[1]), value)) {
                length = value;
            }
        }
    }
    if (hit.kind == pdf_syntax::ObjectKeyword::kEndobj) {
        return keywordAt + 6;
    }
    return skipStreamData(keywordAt, length);
}

uint64_t CPdfXRef::Repair::skipStreamData(uint64_t keywordAt, int64_t length) {
    uint64_t dataStart = keywordAt + 6;
    std::string_view eol;
    if (input_.view(dataStart, 2, eol) && !eol.empty()) {
        if (eol[0] == '\r') {
            dataStart += eol.size() > 1 && eol[1] == '\n' ? 2 : 1;
        } else if (eol[0] == '\n') {
            dataStart += 1;
        }
    }
    if (length >= 0 && static_cast<uint64_t>(length) <= size_ - std::min(dataStart, size_)) {
        std::string_view after;
        const uint64_t end = dataStart + static_cast<uint64_t>(length);
        if (input_.view(end, 64, after)) {
            const size_t at = pdf_syntax::skipWhitespace(after, 0);
            if (after.compare(at, 9, "endstream") == 0) {
                return end + at + 9;
            }
        }
    }
    // The /Length does not end at "endstream": the data ends at the first one, as viewers
    // read it. Once a search has found none, none is looked for past its start again.
    if (dataStart >= noEndstreamFrom_) {
        return dataStart;
    }
    const int64_t endstream = input_.find(dataStart, "endstream");
    if (endstream < 0) {
        noEndstreamFrom_ = dataStart;
        return dataStart;
    }
    return static_cast<uint64_t>(endstream) + 1;
}

void CPdfXRef::Repair::readTrailerDictionary(uint64_t offset) {
    if (offset >= size_) {
        return;
    }
    CPdfStream* window = xref_.file_->openSubStream(offset, 0, CPdfXRef::nullElement());
    try {
        CPdfParser parser(nullptr, window);
        CPdfElement trailer;
        parser.parseObject(trailer);
        if (trailer.is(ElementKind::Dictionary)) {
            lastTrailer_.assign(trailer);
            lastTrailerAt_ = static_cast<int64_t>(offset);
            if (trailer.getDictionary()->find("Encrypt")) {
                lastProtectedTrailer_.assign(trailer);
                lastProtectedTrailerAt_ = static_cast<int64_t>(offset);
            }
        }
    } catch (const CPdfException&) {
        // A trailer that cannot be read is passed over, as any damaged bytes are.
    }
}

void CPdfXRef::Repair::addObjectStreamMembers() {
    std::vector<XRefEntry>& entries = xref_.entries_;
    for (const auto& [offset, number] : objectStreams_) {
        // Only the object stream that is its number's last definition. A number the table
        // cannot hold was never recorded, and has no row to look at.
        if (number < 0 || static_cast<size_t>(number) >= entries.size()) {
            continue;
        }
        const XRefEntry& own = entries[static_cast<size_t>(number)];
        if (own.type != 1 || own.offset != static_cast<int64_t>(offset)) {
            continue;
        }
        std::vector<int32_t> members;
        try {
            members = xref_.objectStreamMembers(number);
        } catch (const CPdfException&) {
            continue; // an object stream that cannot be read holds nothing that can be found
        }
        for (size_t index = 0; index < members.size(); ++index) {
            const int32_t member = members[index];
            if (member < 0 || member >= maxRows_ || member == number ||
                index > static_cast<size_t>(XRefEntry::kMaxIndex)) {
                continue;
            }
            if (static_cast<size_t>(member) >= entries.size()) {
                entries.resize(static_cast<size_t>(member) + 1);
            }
            XRefEntry& row = entries[static_cast<size_t>(member)];
            if (row.type == 1 && row.offset > static_cast<int64_t>(offset)) {
                continue; // defined again after the object stream
            }
            row.type = 2;
            row.offset = number;
            row.generation = static_cast<int64_t>(index);
        }
        // A catalog among the members counts from the object stream's place.
        if (lastCatalog_.offset > static_cast<int64_t>(offset)) {
            continue;
        }
        for (const int32_t member : members) {
            const unsigned char* data = nullptr;
            size_t length = 0;
            if (member < 0 || static_cast<size_t>(member) >= entries.size() ||
                entries[static_cast<size_t>(member)].type != 2 ||
                entries[static_cast<size_t>(member)].offset != number ||
                !xref_.getCompressedObjectText(member, data, length)) {
                continue;
            }
            const std::string_view text(reinterpret_cast<const char*>(data), length);
            const size_t dict = pdf_syntax::skipWhitespace(text, 0);
            if (text.compare(dict, 2, "<<") != 0) {
                continue;
            }
            if (valueText(text, pdf_syntax::findEntry(text, dict, "Type")) == "/Catalog") {
                lastCatalog_ = {member, 0, static_cast<int64_t>(offset)};
            }
        }
    }
}

void CPdfXRef::Repair::chooseTrailer() {
    const std::vector<XRefEntry>& entries = xref_.entries_;
    // The last of a classic trailer and a cross-reference stream's dictionary.
    if (lastXRefStream_.offset > lastTrailerAt_) {
        try {
            CPdfElement object;
            xref_.fetchObject(lastXRefStream_.number, lastXRefStream_.generation, object);
            if (object.is(ElementKind::Stream) &&
                object.getStream()->getDict().is(ElementKind::Dictionary)) {
                xref_.trailer_.setDictionary(object.getStream()->getDict().getDictionary());
            }
        } catch (const CPdfException&) {
        }
    }
    if (!xref_.trailer_.is(ElementKind::Dictionary) && lastTrailer_.is(ElementKind::Dictionary)) {
        xref_.trailer_.assign(lastTrailer_);
    }
    auto found = [&](int64_t number, int64_t generation) {
        if (number < 0 || static_cast<size_t>(number) >= entries.size()) {
            return false;
        }
        const XRefEntry& row = entries[static_cast<size_t>(number)];
        return (row.type == 1 && row.generation == generation) ||
               (row.type == 2 && generation == 0);
    };
    if (xref_.trailer_.is(ElementKind::Dictionary)) {
        const CPdfDictionary* dict = xref_.trailer_.getDictionary();
        const CPdfElement* root = dict->find("Root");
        if (root && root->is(ElementKind::Reference) &&
            found(root->getRefNumber(), root->getRefGeneration())) {
            xref_.root_ = {root->getRefNumber(), root->getRefGeneration()};
        }
        const CPdfElement* info = dict->find("Info");
        if (info && info->is(ElementKind::Reference) &&
            found(info->getRefNumber(), info->getRefGeneration())) {
            xref_.info_ = {info->getRefNumber(), info->getRefGeneration()};
        }
    }
    if (xref_.root_.number == 0 && lastCatalog_.offset >= 0 &&
        found(lastCatalog_.number, lastCatalog_.generation)) {
        xref_.root_ = {lastCatalog_.number, lastCatalog_.generation};
    }
    if (xref_.root_.number == 0) {
        throw CPdfException("PDF file was damaged",
                            "reading the whole file found no catalog (/Type /Catalog)");
    }
    if (!xref_.trailer_.is(ElementKind::Dictionary)) {
        auto* dict = new CPdfDictionary(&xref_);
        CPdfElement root;
        root.setReference(xref_.root_.number, xref_.root_.generation);
        dict->addEntry("Root", root);
        xref_.trailer_.setDictionary(dict);
        dict->release();
    }
    keepProtection();
}

void CPdfXRef::Repair::keepProtection() {
    if (xref_.trailer_.getDictionary()->find("Encrypt")) {
        return;
    }
    // The later of the last classic trailer and the last cross-reference stream that name it.
    CPdfElement source;
    if (lastProtectedXRefStream_.offset > lastProtectedTrailerAt_) {
        try {
            CPdfElement object;
            xref_.fetchObject(lastProtectedXRefStream_.number, lastProtectedXRefStream_.generation,
                              object);
            if (object.is(ElementKind::Stream) &&
                object.getStream()->getDict().is(ElementKind::Dictionary)) {
                source.assign(object.getStream()->getDict());
            }
        } catch (const CPdfException&) {
        }
    }
    if (!source.is(ElementKind::Dictionary) && lastProtectedTrailer_.is(ElementKind::Dictionary)) {
        source.assign(lastProtectedTrailer_);
    }
    const CPdfElement* encrypt =
        source.is(ElementKind::Dictionary) ? source.getDictionary()->find("Encrypt") : nullptr;
    if (!encrypt) {
        if (lastSecurityDictionary_.offset >= 0) {
            throw CPdfException("PDF file was damaged",
                                "object " + std::to_string(lastSecurityDictionary_.number) +
                                    " is an encryption dictionary (/Filter /Standard) that no "
                                    "trailer found names: the file cannot be read without it");
        }
        return;
    }
    CPdfDictionary* trailer = xref_.trailer_.getDictionary();
    trailer->replaceEntry("Encrypt", *encrypt);
    if (const CPdfElement* id = source.getDictionary()->find("ID")) {
        trailer->replaceEntry("ID", *id);
    }
}
