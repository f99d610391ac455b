#include "stamp/picture/COverlayPage.h"

#include "pdf/CPdfArray.h"
#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfDocument.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfObjectFraming.h"
#include "pdf/CPdfSecurityHandler.h"
#include "pdf/CPdfStream.h"
#include "pdf/CPdfXRef.h"
#include "pdf/Limits.h"
#include "pdf/PdfSyntax.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <set>

namespace {

constexpr const char* kError = "Overlay file error";

std::string deflated(std::string_view bytes) {
    uLongf length = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(length, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &length,
                  reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        throw CPdfException(kError, "the page's content could not be compressed");
    }
    out.resize(length);
    return out;
}

void appendNumber(std::string& out, double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", std::abs(value) < 1e-9 ? 0.0 : value);
    out += text;
}

// The reader's refusal of a file that no empty password opens (its advice names -password,
// which opens the input, not the overlay).
bool xrefNeedsPassword(const std::string& message) {
    return message.rfind("PDF file needs a password", 0) == 0;
}

std::string_view valueText(std::string_view text, const pdf_syntax::DictEntry& entry) {
    return text.substr(entry.valueStart, entry.valueEnd - entry.valueStart);
}

} // namespace

// Reads the page and gathers the objects it needs, one after another from the form on.
class COverlayPage::Reader {
  public:
    Reader(const std::string& path, int32_t pageNumber, COverlayPage& page)
        : path_(path), pageNumber_(pageNumber), page_(page) {}

    void read() {
        open();
        findPage();
        readBox();
        makeShape();
        // Every object an object copied so far names is copied after it, once.
        for (size_t index = 0; index < page_.objects_.size(); ++index) {
            for (const ReferenceSpan& reference : page_.objects_[index].references) {
                admit(reference.number);
            }
        }
    }

  private:
    // What the walk of the page tree takes from the page and the nodes above it.
    struct Found {
        int32_t number = 0;
        int32_t generation = 0;
        int32_t resourcesHolder = 0; // the object whose dictionary holds the page's /Resources
        CPdfElement mediaBox;
        CPdfElement cropBox;
        int32_t rotate = 0;
    };

    [[noreturn]] void fail(const std::string& cause) const {
        throw CPdfException(kError, "'" + path_ + "': " + cause);
    }

    void open() {
        try {
            document_.open(path_);
        } catch (const CPdfException& e) {
            if (xrefNeedsPassword(e.message())) {
                fail("the file needs a password, and an overlay is opened without one");
            }
            fail(e.cause().empty() ? e.message() : e.message() + ": " + e.cause());
        }
        xref_ = document_.getXRef();
        objects_.attach(document_.input(), *xref_);
        security_ = xref_->security();
    }

    void findPage() {
        if (pageNumber_ < 1) {
            fail("there is no page " + std::to_string(pageNumber_) + ": pages count from 1");
        }
        CPdfElement catalog;
        fetch(xref_->root().number, xref_->root().generation, catalog);
        const CPdfElement* pages =
            catalog.is(ElementKind::Dictionary) ? catalog.getDictionary()->find("Pages") : nullptr;
        if (pages == nullptr || !pages->is(ElementKind::Reference)) {
            fail("its catalog names no page tree");
        }
        int64_t remaining = pageNumber_ - 1;
        if (!walk(*pages, remaining, Found{}, 0)) {
            fail("it has no page " + std::to_string(pageNumber_) + " (it has " +
                 std::to_string(pageNumber_ - 1 - remaining) + ")");
        }
    }

    void fetch(int32_t number, int32_t generation, CPdfElement& out) {
        try {
            xref_->fetchObject(number, generation, out);
        } catch (const CPdfException& e) {
            fail(e.cause().empty() ? e.message() : e.message() + ": " + e.cause());
        }
    }

    // The page at index remaining among those under node, the entries it inherits taken on the
    // way; remaining counts down the pages passed.
    bool walk(const CPdfElement& node, int64_t& remaining, Found inherited, int depth) {
        if (depth > limits::kMaxPageTreeDepth || !visited_.insert(node.getRefNumber()).second) {
            return false;
        }
        CPdfElement value;
        fetch(node.getRefNumber(), node.getRefGeneration(), value);
        if (!value.is(ElementKind::Dictionary)) {
            return false;
        }
        const CPdfDictionary& dict = *value.getDictionary();
        if (dict.find("Resources") != nullptr) {
            inherited.resourcesHolder = node.getRefNumber();
        }
        CPdfElement entry;
        dict.getEntry("MediaBox", entry);
        if (entry.is(ElementKind::Array)) {
            inherited.mediaBox = entry;
        }
        dict.getEntry("CropBox", entry);
        if (entry.is(ElementKind::Array)) {
            inherited.cropBox = entry;
        }
        dict.getEntry("Rotate", entry);
        if (entry.is(ElementKind::Integer)) {
            inherited.rotate = entry.getInteger();
        }
        CPdfElement kids;
        dict.getEntry("Kids", kids);
        if (!kids.is(ElementKind::Array)) {
            if (remaining > 0) {
                --remaining;
                return false;
            }
            inherited.number = node.getRefNumber();
            inherited.generation = node.getRefGeneration();
            found_ = inherited;
            return true;
        }
        // A node all of whose pages come before the one looked for is passed by its /Count.
        dict.getEntry("Count", entry);
        if (entry.is(ElementKind::Integer) && entry.getInteger() > 0 &&
            remaining >= entry.getInteger()) {
            remaining -= entry.getInteger();
            return false;
        }
        const CPdfArray& items = *kids.getArray();
        for (size_t i = 0; i < items.getCount(); ++i) {
            if (items.getItem(i).is(ElementKind::Reference) &&
                walk(items.getItem(i), remaining, inherited, depth + 1)) {
                return true;
            }
        }
        return false;
    }

    // The four numbers of a box, or false.
    bool boxOf(const CPdfElement& box, std::array<double, 4>& out) {
        if (!box.is(ElementKind::Array) || box.getArray()->getCount() != 4) {
            return false;
        }
        for (size_t i = 0; i < 4; ++i) {
            CPdfElement item;
            box.getArray()->getItem(i).resolve(xref_, item);
            if (item.is(ElementKind::Integer)) {
                out[i] = item.getInteger();
            } else if (item.is(ElementKind::Real) && std::isfinite(item.getReal())) {
                out[i] = item.getReal();
            } else {
                return false;
            }
        }
        return true;
    }

    void readBox() {
        std::array<double, 4> box{0, 0, 612, 792};
        if (!boxOf(found_.cropBox, box)) {
            boxOf(found_.mediaBox, box);
        }
        x0_ = std::min(box[0], box[2]);
        y0_ = std::min(box[1], box[3]);
        x1_ = std::max(box[0], box[2]);
        y1_ = std::max(box[1], box[3]);
        if (!(x1_ - x0_ >= 1e-3 && y1_ - y0_ >= 1e-3 && x1_ - x0_ < 1e7 && y1_ - y0_ < 1e7)) {
            fail("the box of page " + std::to_string(pageNumber_) + " is empty or too large");
        }
        rotate_ = ((found_.rotate % 360) + 360) % 360;
        if (rotate_ % 90 != 0) {
            rotate_ = 0;
        }
        const bool across = rotate_ == 90 || rotate_ == 270;
        page_.width_ = static_cast<float>(across ? y1_ - y0_ : x1_ - x0_);
        page_.height_ = static_cast<float>(across ? x1_ - x0_ : y1_ - y0_);
    }

    // The form's /Matrix: the box turned as the page is shown, then scaled onto the unit square.
    std::string formMatrix() const {
        // Where a point (x, y) of the page is shown: X = a x + c y + e, Y = b x + d y + f.
        std::array<double, 6> m{1, 0, 0, 1, -x0_, -y0_};
        switch (rotate_) {
        case 90:
            m = {0, -1, 1, 0, -y0_, x1_};
            break;
        case 180:
            m = {-1, 0, 0, -1, x1_, y1_};
            break;
        case 270:
            m = {0, 1, -1, 0, y1_, -x0_};
            break;
        default:
            break;
        }
        const double w = page_.width_;
        const double h = page_.height_;
        const std::array<double, 6> unit{m[0] / w, m[1] / h, m[2] / w,
                                         m[3] / h, m[4] / w, m[5] / h};
        std::string out = "[";
        for (double value : unit) {
            appendNumber(out, value);
            out += ' ';
        }
        out.back() = ']';
        return out;
    }

    // The value text of key in object number's dictionary, empty when it has none.
    std::string entryOf(int32_t number, std::string_view key) {
        std::string text;
        if (number == 0 || !objects_.getObjectText(number, text)) {
            return {};
        }
        const size_t dict = pdf_syntax::findBodyDictionary(text);
        const std::optional<pdf_syntax::DictEntry> entry =
            dict == pdf_syntax::npos ? std::nullopt : pdf_syntax::findEntry(text, dict, key);
        return entry ? std::string(valueText(text, *entry)) : std::string();
    }

    // The form: its dictionary in the other file's numbering, and the page's content as its
    // data. One content stream is taken as it is, with its filters; several are decoded and
    // joined.
    void makeShape() {
        std::string dict = "<< /Type /XObject /Subtype /Form /BBox [";
        for (double value : {x0_, y0_, x1_, y1_}) {
            appendNumber(dict, value);
            dict += ' ';
        }
        dict.back() = ']';
        dict += " /Matrix " + formMatrix();
        std::string resources = entryOf(found_.resourcesHolder, "Resources");
        dict += " /Resources " + (resources.empty() ? std::string("<< >>") : resources);
        if (std::string group = entryOf(found_.number, "Group"); !group.empty()) {
            dict += " /Group " + group;
        }
        Object form;
        const std::vector<int64_t> streams = contentStreams();
        if (streams.size() == 1) {
            Object content;
            if (readObject(streams[0], content) == Read::Copied && content.stream) {
                for (std::string_view key : {"Filter", "DecodeParms"}) {
                    const std::optional<pdf_syntax::DictEntry> entry =
                        pdf_syntax::findEntry(content.text, 0, key);
                    if (entry) {
                        dict += " /" + std::string(key) + " " +
                                std::string(valueText(content.text, *entry));
                    }
                }
                form.data = std::move(content.data);
            }
        } else if (!streams.empty()) {
            std::string joined;
            for (int64_t number : streams) {
                appendDecoded(number, joined);
                joined += '\n';
            }
            dict += " /Filter /FlateDecode";
            form.data = deflated(joined);
        }
        dict += " >>";
        form.text = std::move(dict);
        form.stream = true;
        add(std::move(form), -1);
    }

    // The object numbers of the page's content streams, in their order.
    std::vector<int64_t> contentStreams() {
        std::string contents = entryOf(found_.number, "Contents");
        std::vector<ReferenceSpan> references = findReferences(contents);
        // A reference to an array object lists the streams in that array.
        if (references.size() == 1 && !contents.empty() && contents.front() != '[') {
            std::string text;
            if (objects_.getObjectText(static_cast<int32_t>(references[0].number), text)) {
                const std::optional<pdf_syntax::ObjectHeader> header =
                    pdf_syntax::readObjectHeader(text);
                const size_t body =
                    header ? pdf_syntax::skipWhitespace(text, header->bodyStart) : pdf_syntax::npos;
                if (body < text.size() && text[body] == '[') {
                    const size_t end = pdf_syntax::skipObject(text, body);
                    if (end != pdf_syntax::npos) {
                        references =
                            findReferences(std::string_view(text).substr(body, end - body));
                    }
                }
            }
        }
        std::vector<int64_t> numbers;
        for (const ReferenceSpan& reference : references) {
            numbers.push_back(reference.number);
        }
        return numbers;
    }

    void appendDecoded(int64_t number, std::string& out) {
        if (number <= 0 || number >= static_cast<int64_t>(xref_->entries().size())) {
            return;
        }
        CPdfElement stream;
        const auto& row = xref_->entries()[static_cast<size_t>(number)];
        fetch(static_cast<int32_t>(number), static_cast<int32_t>(row.generation), stream);
        if (!stream.is(ElementKind::Stream)) {
            fail("a content stream of page " + std::to_string(pageNumber_) + " (object " +
                 std::to_string(number) + ") cannot be decoded");
        }
        CPdfStream& data = *stream.getStream();
        data.rewind();
        const size_t before = out.size();
        if (!data.readRest(out, static_cast<size_t>(limits::kMaxOverlayBytes - bytes_))) {
            failTooLarge();
        }
        bytes_ += out.size() - before;
    }

    [[noreturn]] void failTooLarge() const {
        fail("page " + std::to_string(pageNumber_) + " needs more than " +
             std::to_string(limits::kMaxOverlayObjects) + " objects or " +
             std::to_string(limits::kMaxOverlayBytes >> 20) + " MiB");
    }

    void add(Object object, int64_t number) {
        bytes_ += object.text.size() + object.data.size();
        if (page_.objects_.size() >= limits::kMaxOverlayObjects ||
            bytes_ > limits::kMaxOverlayBytes) {
            failTooLarge();
        }
        object.references = findReferences(object.text);
        if (number >= 0) {
            page_.indexOf_.emplace(number, page_.objects_.size());
        }
        page_.objects_.push_back(std::move(object));
    }

    // Copies object number once, unless it cannot be read or is a node of the page tree (a
    // /Parent, a page an annotation names), which the form does not draw: those are null.
    void admit(int64_t number) {
        if (!decided_.insert(number).second) {
            return;
        }
        Object object;
        if (readObject(number, object) == Read::Copied) {
            add(std::move(object), number);
        }
    }

    enum class Read { Copied, Left };

    Read readObject(int64_t number, Object& out) {
        const auto& rows = xref_->entries();
        if (number <= 0 || number >= static_cast<int64_t>(rows.size())) {
            return Read::Left;
        }
        std::string text;
        if (!objects_.getObjectText(static_cast<int32_t>(number), text)) {
            return Read::Left;
        }
        const std::optional<pdf_syntax::ObjectHeader> header = pdf_syntax::readObjectHeader(text);
        if (!header) {
            return Read::Left;
        }
        const size_t dict = pdf_syntax::findBodyDictionary(text);
        const size_t dictEnd =
            dict == pdf_syntax::npos ? pdf_syntax::npos : pdf_syntax::findDictionaryEnd(text, dict);
        if (dictEnd != pdf_syntax::npos) {
            const std::optional<pdf_syntax::DictEntry> type =
                pdf_syntax::findEntry(text, dict, "Type");
            const std::string_view typeName = type ? valueText(text, *type) : "";
            if (typeName == "/Page" || typeName == "/Pages") {
                return Read::Left;
            }
            const size_t keyword = pdf_syntax::skipWhitespace(text, dictEnd + 2);
            if (keyword < text.size() && text.compare(keyword, 6, "stream") == 0) {
                return readStream(number, text, dict, dictEnd + 2, keyword + 6, out);
            }
        }
        // The one value the body holds; bytes after it before "endobj" (a stray keyword of a
        // damaged file) are left out. A value that does not end is taken up to the "endobj".
        const size_t start = pdf_syntax::skipWhitespace(text, header->bodyStart);
        size_t end = pdf_syntax::skipObject(text, start);
        if (end == pdf_syntax::npos) {
            end = text.rfind("endobj");
        }
        if (end == std::string::npos || end < start) {
            end = text.size();
        }
        out.text = text.substr(std::min(start, end), end - std::min(start, end));
        return Read::Copied;
    }

    Read readStream(int64_t number, const std::string& text, size_t dict, size_t dictEnd,
                    size_t dataStart, Object& out) {
        if (dataStart < text.size() && text[dataStart] == '\r') {
            ++dataStart;
        }
        if (dataStart < text.size() && text[dataStart] == '\n') {
            ++dataStart;
        }
        std::string dictText = text.substr(dict, dictEnd - dict);
        const std::optional<pdf_syntax::DictEntry> lengthEntry =
            pdf_syntax::findEntry(dictText, 0, "Length");
        int64_t length = -1;
        ObjectFrame frame;
        const auto& row = xref_->entries()[static_cast<size_t>(number)];
        if (objects_.findObjectFrame(static_cast<int32_t>(number), frame) &&
            frame.framedLength >= 0) {
            length = frame.framedLength;
        } else if (lengthEntry) {
            const std::string_view value = valueText(dictText, *lengthEntry);
            int64_t lengthNumber = 0;
            int64_t lengthGeneration = 0;
            if (!pdf_syntax::readInteger(value, length) &&
                pdf_syntax::readReference(value, lengthNumber, lengthGeneration) &&
                lengthNumber > 0 && lengthNumber < INT32_MAX) {
                CPdfElement resolved;
                fetch(static_cast<int32_t>(lengthNumber), static_cast<int32_t>(lengthGeneration),
                      resolved);
                length = resolved.is(ElementKind::Integer) ? resolved.getInteger64() : -1;
            }
        }
        if (length < 0 || dataStart > text.size() ||
            static_cast<uint64_t>(length) > text.size() - dataStart) {
            fail("the length of stream object " + std::to_string(number) +
                 " does not frame its data");
        }
        out.data = text.substr(dataStart, static_cast<size_t>(length));
        if (security_ != nullptr && decrypts(dictText)) {
            out.data = security_->decrypt(true, number, row.generation, out.data);
        }
        if (lengthEntry) {
            dictText.erase(lengthEntry->keyStart, lengthEntry->valueEnd - lengthEntry->keyStart);
        }
        out.text = std::move(dictText);
        out.stream = true;
        return Read::Copied;
    }

    // Whether the protected file's stream is encrypted: cross-reference streams never are, and
    // metadata is left clear where the file says so.
    bool decrypts(std::string_view dict) const {
        const std::optional<pdf_syntax::DictEntry> type = pdf_syntax::findEntry(dict, 0, "Type");
        const std::string_view name = type ? valueText(dict, *type) : "";
        return name != "/XRef" && (name != "/Metadata" || security_->encryptsMetadata());
    }

    const std::string& path_;
    int32_t pageNumber_;
    COverlayPage& page_;
    CPdfDocument document_;
    CPdfXRef* xref_ = nullptr;
    CPdfObjectFraming objects_;
    const CPdfSecurityHandler* security_ = nullptr;
    std::set<int32_t> visited_;
    std::set<int64_t> decided_;
    Found found_;
    double x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0;
    int32_t rotate_ = 0;
    uint64_t bytes_ = 0;
};

COverlayPage COverlayPage::read(const std::string& path, int32_t pageNumber) {
    COverlayPage page;
    Reader(path, pageNumber, page).read();
    return page;
}

std::string COverlayPage::formattedObject(size_t index, int64_t first) const {
    const Object& object = objects_[index];
    std::string body;
    body.reserve(object.text.size() + 16);
    size_t at = 0;
    for (const ReferenceSpan& reference : object.references) {
        body.append(object.text, at, reference.start - at);
        const auto copied = indexOf_.find(reference.number);
        if (copied == indexOf_.end()) {
            body += "null";
        } else {
            pdf_syntax::appendDecimal(body, first + static_cast<int64_t>(copied->second));
            body += " 0 R";
        }
        at = reference.end;
    }
    body.append(object.text, at);
    std::string out = " 0 obj\n";
    if (!object.stream) {
        out += body;
        out += "\nendobj\n";
        return out;
    }
    // The dictionary's "<<" first, then the /Length of the data as written here.
    out += "<< /Length ";
    pdf_syntax::appendDecimal(out, static_cast<int64_t>(object.data.size()));
    out.append(body, std::min<size_t>(2, body.size()));
    out += "\nstream\n";
    out += object.data;
    out += "\nendstream\nendobj\n";
    return out;
}
