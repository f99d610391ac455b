#include "stamp/CPdfStamp.h"

#include "pdf/CPdfException.h"
#include "pdf/CPdfXRef.h"
#include "stamp/CRawInput.h"
#include "stamp/PdfSyntax.h"

#include <string>

namespace {

// A stream dictionary larger than this is not examined; its object is then framed by the plain
// search for "endobj", as any object is.
constexpr uint64_t kMaxDictionaryBytes = 1 << 20;

// After the keyword "stream": the end-of-line that starts the data (CR LF, LF, or a lone CR).
uint64_t dataStartAfterKeyword(CRawInput& input, uint64_t afterKeyword) {
    std::string eol;
    if (!input.read(afterKeyword, 2, eol) || eol.empty()) {
        return afterKeyword;
    }
    if (eol[0] == '\r') {
        return afterKeyword + ((eol.size() > 1 && eol[1] == '\n') ? 2 : 1);
    }
    return afterKeyword + (eol[0] == '\n' ? 1 : 0);
}

// True when "endstream" follows position pos after white-space only.
bool endstreamFollows(CRawInput& input, uint64_t pos, uint64_t& afterEndstream) {
    std::string window;
    if (!input.read(pos, 512, window)) {
        return false;
    }
    size_t at = pdfsyntax::skipWhitespace(window, 0);
    if (window.compare(at, 9, "endstream") != 0) {
        return false;
    }
    afterEndstream = pos + at + 9;
    return true;
}

bool isObjectStreamDictionary(std::string_view head, size_t dictStart) {
    auto type = pdfsyntax::findEntry(head, dictStart, "Type");
    if (!type) {
        return false;
    }
    std::string_view value = head.substr(type->valueStart, type->valueEnd - type->valueStart);
    return value == "/ObjStm";
}

} // namespace

bool CPdfStamp::findObjectExtent(int32_t number, ObjectExtent& out) {
    out = ObjectExtent{};
    if (inputEntries == nullptr || number < 0 ||
        static_cast<size_t>(number) >= inputEntries->size()) {
        return false;
    }
    const XRefEntry& entry = (*inputEntries)[static_cast<size_t>(number)];
    if (entry.type != 1 || entry.offset < 0) {
        return false;
    }
    const uint64_t start = static_cast<uint64_t>(entry.offset);
    const int64_t endobj = inputFile->find(start, "endobj");
    if (endobj < 0) {
        return false;
    }
    // The plain frame: up to the byte after the first "endobj" (or to the end of the file).
    const uint64_t plainEnd = std::min<uint64_t>(static_cast<uint64_t>(endobj) + 2,
                                                 inputFile->size());
    out.start = start;
    out.length = plainEnd - start;

    const int64_t keyword = inputFile->find(start, "stream", static_cast<uint64_t>(endobj));
    if (keyword < 0 || static_cast<uint64_t>(keyword) > static_cast<uint64_t>(endobj)) {
        return true;
    }
    const uint64_t keywordStart = static_cast<uint64_t>(keyword) - 5;
    if (keywordStart < start || keywordStart - start > kMaxDictionaryBytes) {
        return true;
    }
    std::string head;
    if (!inputFile->read(start, static_cast<size_t>(keywordStart - start), head)) {
        return true;
    }
    const size_t dictStart = pdfsyntax::findBodyDictionary(head);
    if (dictStart == pdfsyntax::npos) {
        return true;
    }
    const size_t dictEnd = pdfsyntax::findDictionaryEnd(head, dictStart);
    if (dictEnd == pdfsyntax::npos || pdfsyntax::skipWhitespace(head, dictEnd + 2) != head.size()) {
        // "stream" is not the keyword right after the object's dictionary.
        return true;
    }
    out.isStream = true;
    out.isObjectStream = isObjectStreamDictionary(head, dictStart);

    // With a usable /Length the data is skipped, so "endobj" inside the data is not taken for
    // the end of the object.
    auto lengthEntry = pdfsyntax::findEntry(head, dictStart, "Length");
    if (!lengthEntry) {
        return true;
    }
    std::string_view value(head.data() + lengthEntry->valueStart,
                           lengthEntry->valueEnd - lengthEntry->valueStart);
    int64_t length = -1;
    int64_t refNumber = 0;
    int64_t refGeneration = 0;
    if (pdfsyntax::readReference(value, refNumber, refGeneration)) {
        if (refNumber == number || xref == nullptr || refNumber > INT32_MAX ||
            refGeneration > INT32_MAX) {
            return true;
        }
        try {
            CPdfElement resolved;
            xref->fetchObject(static_cast<int32_t>(refNumber), static_cast<int32_t>(refGeneration),
                              resolved);
            if (resolved.kind() == ElementKind::Integer) {
                length = resolved.getInteger();
            }
        } catch (const CPdfException&) {
            return true;
        }
    } else if (!pdfsyntax::readInteger(value, length)) {
        return true;
    }
    if (length < 0) {
        return true;
    }
    const uint64_t dataStart = dataStartAfterKeyword(*inputFile, keywordStart + 6);
    if (static_cast<uint64_t>(length) > inputFile->size() - dataStart) {
        return true;
    }
    uint64_t afterEndstream = 0;
    if (!endstreamFollows(*inputFile, dataStart + static_cast<uint64_t>(length), afterEndstream)) {
        return true;
    }
    const int64_t realEnd = inputFile->find(afterEndstream, "endobj");
    if (realEnd < 0) {
        return true;
    }
    out.length = std::min<uint64_t>(static_cast<uint64_t>(realEnd) + 2, inputFile->size()) - start;
    return true;
}

bool CPdfStamp::getObjectText(int32_t number, std::string& out) {
    out.clear();
    if (inputEntries == nullptr || number < 0 ||
        static_cast<size_t>(number) >= inputEntries->size()) {
        return false;
    }
    const XRefEntry& entry = (*inputEntries)[static_cast<size_t>(number)];
    if (entry.type == 1) {
        ObjectExtent extent;
        if (!findObjectExtent(number, extent)) {
            return false;
        }
        return inputFile->read(extent.start, static_cast<size_t>(extent.length), out) &&
               !out.empty();
    }
    if (entry.type == 2 && xref != nullptr) {
        const unsigned char* data = nullptr;
        size_t length = 0;
        if (!xref->getCompressedObjectText(number, data, length) || data == nullptr ||
            length == 0) {
            return false;
        }
        out = std::to_string(number);
        out += " 0 obj\r";
        out.append(reinterpret_cast<const char*>(data), length);
        out += " endobj\r";
        return true;
    }
    return false;
}
