#include "pdf/CPdfXRef.h"

#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfEmbedStream.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfFileStream.h"
#include "pdf/CPdfMemoryStream.h"
#include "pdf/CPdfObjectFraming.h"
#include "pdf/CPdfParser.h"
#include "pdf/CPdfSecurityHandler.h"
#include "pdf/Limits.h"
#include "pdf/PdfSyntax.h"

#include <algorithm>
#include <string>

struct CPdfXRef::ObjectStreamData {
    int64_t number = -1;
    bool valid = false; // false: the stream could not be read, none of its objects is found
    std::string bytes;  // all decoded bytes
    int64_t first = 0;
    std::vector<int32_t> numbers;
    std::vector<int64_t> offsets;

    // Header positions sorted by object number, for rows whose index names another object.
    std::vector<std::pair<int32_t, int32_t>> byNumber;

    // The memory the decoded stream holds, as counted against the bounds of those remembered.
    size_t heldBytes() const {
        return bytes.capacity() + numbers.size() * sizeof(int32_t) +
               offsets.size() * sizeof(int64_t) +
               byNumber.size() * sizeof(std::pair<int32_t, int32_t>);
    }

    // The byte range of object `object`, stored as member `index`. When the header names
    // another object there, the member that the header gives that number is taken (writers
    // have been seen to shift the indexes by one); without one the object is not found.
    bool range(int64_t index, int32_t object, size_t& start, size_t& end) const {
        if (!valid) {
            return false;
        }
        const int64_t count = static_cast<int64_t>(numbers.size());
        if (index < 0 || index >= count || numbers[static_cast<size_t>(index)] != object) {
            auto it = std::lower_bound(byNumber.begin(), byNumber.end(),
                                       std::make_pair(object, INT32_MIN));
            if (it == byNumber.end() || it->first != object) {
                return false;
            }
            index = it->second;
        }
        // first and the offsets come from the file: a sum is formed only once it is known to
        // lie within the bytes.
        const int64_t size = static_cast<int64_t>(bytes.size());
        const int64_t offset = offsets[static_cast<size_t>(index)];
        if (offset < 0 || first > size || offset > size - first) {
            return false;
        }
        const int64_t from = first + offset;
        int64_t to = size;
        if (index + 1 < count) {
            const int64_t next = offsets[static_cast<size_t>(index) + 1];
            to = next > size - first ? size : first + next; // first >= 0: no sum below INT64_MIN
        }
        if (to < from) {
            return false;
        }
        start = static_cast<size_t>(from);
        end = static_cast<size_t>(to);
        return true;
    }
};

class CPdfXRef::FetchGuard {
  public:
    FetchGuard(CPdfXRef& xref, int32_t number, int fetchDepth) : xref_(xref) {
        // Fetching an object while it is being fetched can never end: an indirect /Length,
        // /Filter or object stream that leads back to itself.
        auto& fetching = xref.fetching_;
        if (std::find(fetching.begin(), fetching.end(), number) != fetching.end()) {
            std::string chain;
            for (int32_t link : fetching) {
                chain += std::to_string(link) + " -> ";
            }
            throw CPdfException("PDF file was damaged",
                                "object " + std::to_string(number) +
                                    " refers back to itself while it is read (objects " + chain +
                                    std::to_string(number) + ")");
        }
        if (fetchDepth > limits::kMaxFetchDepth ||
            fetching.size() >= static_cast<size_t>(limits::kMaxFetchDepth)) {
            throw CPdfException("PDF file was damaged", "indirect objects nested deeper than " +
                                                            std::to_string(limits::kMaxFetchDepth) +
                                                            " levels, at object " +
                                                            std::to_string(number));
        }
        fetching.push_back(number);
    }
    ~FetchGuard() { xref_.fetching_.pop_back(); }
    FetchGuard(const FetchGuard&) = delete;
    FetchGuard& operator=(const FetchGuard&) = delete;

  private:
    CPdfXRef& xref_;
};

namespace {

// Parses the one object of a byte range of memory, as an object inside an object stream is
// read: its window cannot open sub-streams, so a stream there has no readable data.
void parseInMemory(CPdfXRef* xref, const std::string& bytes, size_t start, size_t end,
                   CPdfElement& out, int fetchDepth) {
    auto* memory = new CPdfMemoryStream(reinterpret_cast<const unsigned char*>(bytes.data()),
                                        bytes.size(), 0, 0, CPdfXRef::nullElement());
    memory->setPos(static_cast<int64_t>(start), 0);
    try {
        auto* window = new CPdfEmbedStream(memory, CPdfXRef::nullElement(), true,
                                           static_cast<int64_t>(end - start));
        CPdfParser parser(xref, window, fetchDepth);
        parser.parseObject(out);
    } catch (...) {
        memory->release();
        throw;
    }
    memory->release();
}

} // namespace

void CPdfXRef::parseText(const std::string& bytes, size_t start, CPdfElement& out) {
    parseInMemory(nullptr, bytes, start, bytes.size(), out, 0);
}

const CPdfElement& CPdfXRef::nullElement() {
    static const CPdfElement null = [] {
        CPdfElement e;
        e.setNull();
        return e;
    }();
    return null;
}

CPdfXRef::CPdfXRef(CPdfFileStream* file) : file_(file) {}

std::string CPdfXRef::outsideTable(int64_t number) const {
    return "object " + std::to_string(number) + " is outside the cross-reference table (" +
           std::to_string(entries_.size()) + " rows)";
}

CPdfXRef::~CPdfXRef() = default;

bool CPdfXRef::isEncrypted() const {
    const CPdfElement* encrypt =
        trailer_.is(ElementKind::Dictionary) ? trailer_.getDictionary()->find("Encrypt") : nullptr;
    return encrypt && (encrypt->is(ElementKind::Reference) || encrypt->is(ElementKind::Dictionary));
}

void CPdfXRef::setSecurity(std::unique_ptr<CPdfSecurityHandler> security, int32_t encryptNumber) {
    security_ = std::move(security);
    encryptNumber_ = encryptNumber;
    // Object streams decoded before are decoded again, decrypted.
    forgetObjectStreams();
}

void CPdfXRef::fetchObject(int32_t number, int32_t generation, CPdfElement& out, int fetchDepth) {
    if (number < 0 || static_cast<size_t>(number) >= entries_.size()) {
        throw CPdfException("Corrupted PDF file", outsideTable(number));
    }
    FetchGuard guard(*this, number, fetchDepth);
    const XRefEntry entry = entries_[static_cast<size_t>(number)];
    if (entry.type == 1) {
        if (generation != entry.generation || entry.offset < 0 ||
            static_cast<uint64_t>(entry.offset) >= file_->fileSize()) {
            out.setNull();
            return;
        }
        // The row has to lead to the object's own header; the body is parsed from after it.
        std::string_view head;
        size_t bodyStart = 0;
        if (!CPdfObjectFraming::headerWindow(file_->input(), static_cast<uint64_t>(entry.offset),
                                             head) ||
            !CPdfObjectFraming::headerNames(head, number, generation, bodyStart)) {
            out.setNull();
            return;
        }
        CPdfStream* window =
            file_->openSubStream(static_cast<uint64_t>(entry.offset) + bodyStart, 0, nullElement());
        CPdfParser parser(this, window, fetchDepth);
        if (security_ && number != encryptNumber_) {
            parser.setDecryption(security_.get(), number, generation);
        }
        parser.parseObject(out);
        return;
    }
    if (entry.type == 2) {
        ObjectStreamPtr data = objectStream(streamCache_, entry.offset, fetchDepth);
        size_t start = 0;
        size_t end = 0;
        if (!data->range(entry.generation, number, start, end)) {
            out.setNull();
            return;
        }
        parseInMemory(this, data->bytes, start, end, out, fetchDepth);
        return;
    }
    out.setNull();
}

bool CPdfXRef::getCompressedObjectText(int32_t number, const unsigned char*& data, size_t& length) {
    if (number < 0 || static_cast<size_t>(number) >= entries_.size()) {
        throw CPdfException("Corrupted PDF file", outsideTable(number));
    }
    const XRefEntry entry = entries_[static_cast<size_t>(number)];
    if (entry.type != 2) {
        return false;
    }
    ObjectStreamPtr stream = objectStream(textCache_, entry.offset, 0);
    size_t start = 0;
    size_t end = 0;
    if (!stream->range(entry.generation, number, start, end)) {
        return false;
    }
    data = reinterpret_cast<const unsigned char*>(stream->bytes.data()) + start;
    length = end - start;
    return true;
}

CPdfXRef::ObjectStreamPtr CPdfXRef::objectStream(ObjectStreamPtr& slot, int64_t number,
                                                 int fetchDepth) {
    if (slot && slot->number == number) {
        return slot;
    }
    const ObjectStreamPtr& other = &slot == &streamCache_ ? textCache_ : streamCache_;
    if (other && other->number == number) {
        slot = other;
        return slot;
    }
    if (ObjectStreamPtr remembered = rememberedObjectStream(number)) {
        slot = remembered;
        return slot;
    }
    slot.reset(); // the old copy goes before the new one is decoded
    ObjectStreamPtr loaded = loadObjectStream(number, fetchDepth);
    slot = loaded;
    if (loaded) {
        rememberObjectStream(loaded);
    }
    return loaded;
}

void CPdfXRef::forgetObjectStreams() {
    streamCache_.reset();
    textCache_.reset();
    kept_.clear();
    keptBytes_ = 0;
    recent_.clear();
    recentByNumber_.clear();
    recentBytes_ = 0;
}

CPdfXRef::ObjectStreamPtr CPdfXRef::rememberedObjectStream(int64_t number) {
    if (const auto kept = kept_.find(number); kept != kept_.end()) {
        return kept->second;
    }
    const auto found = recentByNumber_.find(number);
    if (found == recentByNumber_.end()) {
        return nullptr;
    }
    recent_.splice(recent_.begin(), recent_, found->second);
    return recent_.front();
}

void CPdfXRef::rememberObjectStream(const ObjectStreamPtr& data) {
    const size_t bytes = data->heldBytes();
    if (bytes <= limits::kKeptObjectStreamBytes - keptBytes_) {
        kept_.emplace(data->number, data);
        keptBytes_ += bytes;
        return;
    }
    if (bytes > limits::kRecentObjectStreamBytes) {
        return; // it would push out every other one; the slot that holds it is enough
    }
    while (!recent_.empty() && bytes > limits::kRecentObjectStreamBytes - recentBytes_) {
        recentBytes_ -= recent_.back()->heldBytes();
        recentByNumber_.erase(recent_.back()->number);
        recent_.pop_back();
    }
    recent_.push_front(data);
    recentByNumber_.emplace(data->number, recent_.begin());
    recentBytes_ += bytes;
}

std::vector<int32_t> CPdfXRef::objectStreamMembers(int32_t number) {
    ObjectStreamPtr data = objectStream(streamCache_, number, 0);
    if (!data || !data->valid) {
        return {};
    }
    return data->numbers;
}

size_t CPdfXRef::objectStreamByteLimit() const {
    const uint64_t size = file_->fileSize();
    const uint64_t ceiling = static_cast<uint64_t>(limits::kMaxObjectStreamBytes);
    const uint64_t expansion = static_cast<uint64_t>(limits::kObjectStreamExpansion);
    const uint64_t limit = size > ceiling / expansion ? ceiling : size * expansion;
    return static_cast<size_t>(
        std::max(limit, static_cast<uint64_t>(limits::kMinObjectStreamBytes)));
}

void CPdfXRef::resolveEntry(const CPdfElement& dict, const char* key, CPdfElement& out,
                            int fetchDepth) {
    const CPdfElement* value = dict.getDictionary()->find(key);
    if (!value) {
        out.setNull();
    } else if (value->is(ElementKind::Reference)) {
        fetchObject(value->getRefNumber(), value->getRefGeneration(), out, fetchDepth + 1);
    } else {
        out.assign(*value);
    }
}

// The header of an object stream as writers put it: only decimal integers of up to nine digits
// between spaces and line ends. Such a header is read directly; any other is left to the
// parser, which reads the same values from a plain one, only more slowly.
bool CPdfXRef::readPlainHeader(ObjectStreamData& data, int64_t pairs, size_t headerBytes) {
    const std::string_view header(data.bytes.data(), headerBytes);
    std::vector<int32_t> numbers;
    std::vector<int64_t> offsets;
    numbers.reserve(static_cast<size_t>(pairs));
    offsets.reserve(static_cast<size_t>(pairs));
    size_t pos = 0;
    auto next = [&](int64_t& value) {
        while (pos < header.size() && pdf_syntax::isPlainSpace(header[pos])) {
            ++pos;
        }
        const size_t start = pos;
        uint64_t digits = 0;
        pos = pdf_syntax::readShortDigits(header, start, 9, digits);
        value = static_cast<int64_t>(digits);
        // One to nine digits, ending at a space or line end (or at the end of the header).
        return pos > start && (pos == header.size() || pdf_syntax::isPlainSpace(header[pos]));
    };
    for (int64_t k = 0; k < pairs; ++k) {
        int64_t number = 0;
        int64_t offset = 0;
        if (!next(number) || !next(offset)) {
            return false;
        }
        numbers.push_back(static_cast<int32_t>(number));
        offsets.push_back(offset);
    }
    data.numbers = std::move(numbers);
    data.offsets = std::move(offsets);
    return true;
}

// Sorts the header by object number and marks the stream readable.
void CPdfXRef::indexObjectStream(ObjectStreamData& data) {
    data.byNumber.reserve(data.numbers.size());
    for (size_t k = 0; k < data.numbers.size(); ++k) {
        data.byNumber.emplace_back(data.numbers[k], static_cast<int32_t>(k));
    }
    std::sort(data.byNumber.begin(), data.byNumber.end());
    data.valid = true;
}

CPdfXRef::ObjectStreamPtr CPdfXRef::loadObjectStream(int64_t number, int fetchDepth) {
    auto data = std::make_shared<ObjectStreamData>();
    data->number = number;
    if (number < 0 || number > INT32_MAX) {
        throw CPdfException("Corrupted PDF file", "object stream number " + std::to_string(number) +
                                                      " is no object number");
    }
    CPdfElement object;
    fetchObject(static_cast<int32_t>(number), 0, object, fetchDepth + 1);
    if (!object.is(ElementKind::Stream) ||
        !object.getStream()->getDict().is(ElementKind::Dictionary)) {
        return data;
    }
    CPdfStream* stream = object.getStream();
    const CPdfElement& dict = stream->getDict();
    CPdfElement count;
    CPdfElement first;
    resolveEntry(dict, "N", count, fetchDepth);
    resolveEntry(dict, "First", first, fetchDepth);
    if (!count.is(ElementKind::Integer) || !first.is(ElementKind::Integer) ||
        count.getInteger64() <= 0 || first.getInteger64() < 0) {
        return data;
    }
    // The decoded bytes, decoded once into one buffer, never more than a bounded amount.
    if (!stream->readRest(data->bytes, objectStreamByteLimit())) {
        data->bytes.clear();
        data->bytes.shrink_to_fit();
        return data;
    }
    // The cache holds the bytes, not much slack of their growth.
    if (data->bytes.capacity() - data->bytes.size() > data->bytes.size() / 8) {
        data->bytes.shrink_to_fit();
    }
    object.clear();

    // The header: N pairs of object number and offset within the first "First" bytes. Every
    // pair takes at least two bytes of header, which bounds what N can ask for.
    const int64_t n = count.getInteger64();
    data->first = first.getInteger64();
    const int64_t headerBytes =
        std::min<int64_t>(data->first, static_cast<int64_t>(data->bytes.size()));
    if (n > headerBytes / 2 + 1) {
        return data;
    }
    bool complete = true;
    if (readPlainHeader(*data, n, static_cast<size_t>(headerBytes))) {
        indexObjectStream(*data);
        return data;
    }
    auto* memory = new CPdfMemoryStream(reinterpret_cast<const unsigned char*>(data->bytes.data()),
                                        data->bytes.size(), 0, 0, nullElement());
    try {
        auto* window = new CPdfEmbedStream(memory, nullElement(), true, data->first);
        CPdfParser parser(this, window, fetchDepth);
        data->numbers.reserve(static_cast<size_t>(n));
        data->offsets.reserve(static_cast<size_t>(n));
        for (int64_t k = 0; k < n; ++k) {
            CPdfElement objectNumber;
            CPdfElement offset;
            parser.parseObject(objectNumber);
            parser.parseObject(offset);
            if (!objectNumber.is(ElementKind::Integer) || !offset.is(ElementKind::Integer)) {
                complete = false;
                break;
            }
            data->numbers.push_back(objectNumber.getInteger());
            data->offsets.push_back(offset.getInteger64());
        }
    } catch (...) {
        memory->release();
        throw;
    }
    memory->release();
    if (!complete) {
        data->numbers.clear();
        data->offsets.clear();
        return data;
    }
    indexObjectStream(*data);
    return data;
}
