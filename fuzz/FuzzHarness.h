#pragma once

// The code that the fuzz targets run on each input; the regression test runs the inputs that
// once failed through the same functions. Every input must end without a crash, a leak, a hang
// or a sanitizer report; CPdfException is the one expected way to refuse an input.

#include "pdf/CPdfArray.h"
#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfDictionaryShape.h"
#include "pdf/CPdfDocument.h"
#include "pdf/CPdfElement.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfFlateStream.h"
#include "pdf/CPdfMemoryStream.h"
#include "pdf/CPdfObjectFraming.h"
#include "pdf/CPdfObjectShape.h"
#include "pdf/CPdfParser.h"
#include "pdf/CPdfSecurityHandler.h"
#include "pdf/CPdfStream.h"
#include "pdf/CPdfXRef.h"
#include "pdf/PdfSyntax.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include <zlib.h>

namespace fuzz_harness {

// text with every other run of digits (the first, the third, ...; not one that ends the text)
// made one digit longer by digit at its end: the same text with numbers of other lengths, for the
// readers that keep a text's shape with its numbers as places.
inline std::string withLongerDigitRuns(std::string_view text, char digit) {
    std::string longer;
    bool inDigits = false;
    size_t runs = 0;
    for (const char c : text) {
        const bool isDigit = pdf_syntax::isDigit(static_cast<unsigned char>(c));
        if (inDigits && !isDigit && runs % 2 == 1) {
            longer += digit;
        }
        runs += isDigit && !inDigits ? 1 : 0;
        inDigits = isDigit;
        longer += c;
    }
    return longer;
}

// Bytes taken from a stream at most, so that a compression bomb costs bounded time.
inline constexpr size_t kMaxStreamBytes = 1 << 20;

inline size_t drain(CPdfStream* stream, size_t limit = kMaxStreamBytes) {
    size_t count = 0;
    while (count < limit) {
        int peeked = stream->peekChar();
        int c = stream->getChar();
        if (peeked != c) {
            __builtin_trap(); // peekChar must announce what getChar returns
        }
        if (c < 0) {
            break;
        }
        ++count;
    }
    return count;
}

inline CPdfElement nullDict() {
    CPdfElement e;
    e.setNull();
    return e;
}

// Visits a value: container items and dictionary values, the data of streams.
inline void touch(const CPdfElement& value, int depth = 0) {
    if (depth > 300) {
        return;
    }
    if (value.is(ElementKind::Array)) {
        const CPdfArray* array = value.getArray();
        for (size_t i = 0; i < array->getCount(); ++i) {
            touch(array->getItem(i), depth + 1);
        }
    } else if (value.is(ElementKind::Dictionary)) {
        for (const auto& [key, item] : value.getDictionary()->entries()) {
            (void)key;
            touch(item, depth + 1);
        }
    } else if (value.is(ElementKind::Stream)) {
        drain(value.getStream(), 1 << 16);
    }
}

// Arbitrary bytes through the parser, object after object.
inline void parseBytes(const uint8_t* data, size_t size) {
    auto* source = new CPdfMemoryStream(data, size, 0, 0, nullDict());
    try {
        CPdfParser parser(nullptr, source);
        for (int i = 0; i < 100000; ++i) {
            CPdfElement object;
            parser.parseObject(object);
            if (object.is(ElementKind::EndOfInput)) {
                break;
            }
            touch(object);
        }
    } catch (const CPdfException&) {
    }
}

// Bytes through a Flate stream. The first four bytes choose the predictor and its parameters
// (and whether the rest is compressed here first, so that the predictors see real rows).
inline void inflateBytes(const uint8_t* data, size_t size) {
    if (size < 4) {
        return;
    }
    static const int predictors[] = {1, 2, 10, 11, 12, 13, 14, 15, 3, 0};
    static const int bits[] = {1, 2, 4, 8, 16, 8, 8, 3};
    const int predictor = predictors[(data[0] & 0x7F) % 10];
    const bool compressHere = (data[0] & 0x80) != 0;
    const int columns = 1 + data[1] % 64;
    const int colors = 1 + data[2] % 5;
    const int bitsPerComponent = bits[data[3] % 8];
    std::vector<uint8_t> input(data + 4, data + size);
    if (compressHere) {
        uLongf length = compressBound(static_cast<uLong>(input.size()));
        std::vector<uint8_t> packed(length);
        if (compress(packed.data(), &length, input.data(), static_cast<uLong>(input.size())) !=
            Z_OK) {
            return;
        }
        packed.resize(length);
        input.swap(packed);
    }
    if (input.empty()) {
        return;
    }
    auto* raw = new CPdfMemoryStream(input.data(), input.size(), 0, input.size(), nullDict());
    auto* flate = new CPdfFlateStream(raw, predictor, columns, colors, bitsPerComponent);
    try {
        drain(flate);
        if (flate->getChar() != -1) {
            __builtin_trap(); // the end stays the end
        }
    } catch (const CPdfException&) {
    }
    flate->release();
}

// Opens a file as a document, frames and fetches every row of its table.
inline void openAndFetchAll(const std::string& path) {
    CPdfDocument document;
    try {
        document.open(path);
    } catch (const CPdfException&) {
        return;
    }
    CPdfXRef* xref = document.getXRef();
    try {
        CPdfElement root;
        xref->fetchObject(xref->root().number, xref->root().generation, root);
        touch(root);
    } catch (const CPdfException&) {
    }
    // The raw access of the byte copy: every object framed and its text read. Objects framed
    // in their order (streams by the shape of the one before) are framed as by a framing that
    // has framed nothing before.
    CPdfObjectFraming objects;
    objects.attach(document.input(), *xref);
    CPdfObjectFraming fresh;
    const size_t count = xref->entries().size();
    for (size_t n = 0; n < count; ++n) {
        const XRefEntry row = xref->entries()[n];
        try {
            ObjectFrame frame;
            std::string text;
            const bool located = objects.locateObject(static_cast<int32_t>(n), frame);
            fresh.attach(document.input(), *xref);
            ObjectFrame alone;
            if (fresh.locateObject(static_cast<int32_t>(n), alone) != located ||
                alone.start != frame.start || alone.length != frame.length ||
                alone.isStream != frame.isStream || alone.isObjectStream != frame.isObjectStream ||
                alone.framedLength != frame.framedLength ||
                alone.keywordStart != frame.keywordStart) {
                __builtin_trap();
            }
            if (located && objects.getObjectText(static_cast<int32_t>(n), text) &&
                frame.framedLength >= 0) {
                objects.framedStreamHead(frame, text);
            }
        } catch (const CPdfException&) {
        }
        try {
            CPdfElement object;
            xref->fetchObject(static_cast<int32_t>(n), row.type == 1 ? row.generation : 0, object);
            touch(object);
            if (object.is(ElementKind::Dictionary)) {
                CPdfElement resolved;
                object.getDictionary()->getEntry("Length", resolved);
            }
        } catch (const CPdfException&) {
        }
        if (row.type == 2) {
            try {
                const unsigned char* text = nullptr;
                size_t length = 0;
                if (xref->getCompressedObjectText(static_cast<int32_t>(n), text, length) &&
                    length > 0) {
                    volatile unsigned char sink = text[0] ^ text[length - 1];
                    (void)sink;
                }
            } catch (const CPdfException&) {
            }
        }
    }
}

// A protected file's pieces, separated by zero bytes: the /Encrypt dictionary's text, the first
// /ID string, a password and an object's text. The handler is made from the dictionary and
// opened with the password; the object's text is then parsed decrypted, its
// strings decrypted and encrypted as text, and the text encrypted as a new object.
inline void decryptPieces(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string pieces[4];
    size_t at = 0;
    for (int k = 0; k < 4; ++k) {
        const size_t end = k == 3 ? std::string::npos : bytes.find('\0', at);
        pieces[k] = bytes.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (end == std::string::npos) {
            break;
        }
        at = end + 1;
    }
    try {
        CPdfElement dict;
        {
            auto* memory =
                new CPdfMemoryStream(reinterpret_cast<const unsigned char*>(pieces[0].data()),
                                     pieces[0].size(), 0, 0, nullDict());
            CPdfParser parser(nullptr, memory);
            parser.parseObject(dict);
        }
        if (!dict.is(ElementKind::Dictionary)) {
            return;
        }
        CPdfSecurityHandler security(*dict.getDictionary(), pieces[1]);
        if (!security.authenticate(pieces[2])) {
            return;
        }
        const std::string& text = pieces[3];
        auto* memory = new CPdfMemoryStream(reinterpret_cast<const unsigned char*>(text.data()),
                                            text.size(), 0, 0, nullDict());
        CPdfParser parser(nullptr, memory);
        parser.setDecryption(&security, 5, 0);
        CPdfElement object;
        parser.parseObject(object);
        touch(object);
        const std::string clear = security.decryptStringsOfText(5, 0, text);
        if (security.decryptStringsOfText(5, 0, security.encryptStringsOfText(5, 0, clear)) !=
            clear) {
            __builtin_trap(); // what is encrypted reads back as it was
        }
        (void)security.encryptNewObject(5, 0, text);
    } catch (const CPdfException&) {
    }
}

// The entries of a page's dictionary, from the first "<<" of the bytes: the one scan of the
// page and its resources against the scans of each alone, and the kept shape of the page
// against the one scan, learned from the bytes and read again with their numbers made longer.
// Any difference traps.
inline void scanPageDictionary(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t dict = text.find("<<");
    if (dict == std::string::npos) {
        return;
    }
    static constexpr std::string_view keys[] = {"Contents", "Resources"};
    static constexpr std::string_view nestedKeys[] = {"Font", "ExtGState"};
    using Entry = std::optional<pdf_syntax::DictEntry>;
    auto same = [](const Entry& a, const Entry& b) {
        return a.has_value() == b.has_value() &&
               (!a || (a->keyStart == b->keyStart && a->valueStart == b->valueStart &&
                       a->valueEnd == b->valueEnd));
    };
    Entry found[2];
    Entry nested[2];
    const bool read =
        pdf_syntax::findEntriesAndNested(text, dict, keys, found, 1, nestedKeys, nested);
    Entry apart[2];
    pdf_syntax::findEntries(text, dict, keys, apart);
    if (!same(found[0], apart[0]) || !same(found[1], apart[1]) ||
        read != (apart[1] && text.compare(apart[1]->valueStart, 2, "<<") == 0)) {
        __builtin_trap();
    }
    if (read) {
        Entry nestedApart[2];
        pdf_syntax::findEntries(text, apart[1]->valueStart, nestedKeys, nestedApart);
        if (!same(nested[0], nestedApart[0]) || !same(nested[1], nestedApart[1])) {
            __builtin_trap();
        }
    }
    // Every other run of digits one digit longer.
    const std::string longer = withLongerDigitRuns(text, '9');
    CPdfDictionaryShape shape(keys, 1, nestedKeys);
    const std::string* const pages[] = {&text, &longer, &text, &longer, &text};
    for (const std::string* page : pages) {
        Entry shapeFound[2];
        Entry shapeNested[2];
        const bool shapeRead = shape.findEntries(*page, dict, shapeFound, shapeNested);
        Entry scanFound[2];
        Entry scanNested[2];
        const bool scanRead = pdf_syntax::findEntriesAndNested(*page, dict, keys, scanFound, 1,
                                                               nestedKeys, scanNested);
        if (shapeRead != scanRead || !same(shapeFound[0], scanFound[0]) ||
            !same(shapeFound[1], scanFound[1]) ||
            (scanRead &&
             (!same(shapeNested[0], scanNested[0]) || !same(shapeNested[1], scanNested[1])))) {
            __builtin_trap();
        }
    }
}

// What the framing's first search, the header's reading and the page-tree walk's key search
// find in an object whose first bytes are window; nothing where the search does not end the
// frame at an "endobj" in the window or the header fails.
inline std::optional<CPdfObjectShape::Reading> readObjectWindow(std::string_view window) {
    static constexpr std::string_view keys[CPdfObjectShape::kMaxKeys] = {"/Pages", "/Rotate",
                                                                         "/CropBox", "/MediaBox"};
    const pdf_syntax::ObjectKeyword hit = pdf_syntax::findObjectKeyword(window, 0, true);
    if (hit.kind != pdf_syntax::ObjectKeyword::kEndobj || hit.at + 7 > window.size()) {
        return std::nullopt;
    }
    CPdfObjectShape::Reading reading;
    reading.frameLength = hit.at + 7;
    const std::string_view frame = window.substr(0, reading.frameLength);
    const std::optional<pdf_syntax::ObjectHeader> header = pdf_syntax::readObjectHeader(frame);
    if (!header) {
        return std::nullopt;
    }
    reading.header = *header;
    reading.body = pdf_syntax::skipWhitespace(frame, header->bodyStart);
    for (size_t k = 0; k < CPdfObjectShape::kMaxKeys; ++k) {
        const size_t end = pdf_syntax::findLastText(frame, keys[k]);
        reading.keys[k] = end == 0 ? CPdfObjectShape::kNoPosition : end + 1 - keys[k].size();
    }
    return reading;
}

// The shape of an object's first bytes (the first 256 of the input, and of what follows a
// zero byte in it) against the readers it stands for: a shape is kept of each window that it
// keeps, and every window it matches after, with its numbers made longer or as they are, must
// read as the readers read it. Any difference traps.
inline void matchObjectShape(const uint8_t* data, size_t size) {
    constexpr size_t kWindow = 256;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    std::vector<std::string> windows;
    windows.emplace_back(input.substr(0, std::min(kWindow, split)));
    if (split != std::string_view::npos) {
        windows.emplace_back(input.substr(split + 1, kWindow));
    }
    // Each window with every other run of digits one digit longer, and the first one again.
    const size_t given = windows.size();
    for (size_t w = 0; w < given; ++w) {
        windows.push_back(withLongerDigitRuns(windows[w], '7').substr(0, kWindow));
    }
    windows.push_back(windows[0]);
    CPdfObjectShape shape;
    for (const std::string& window : windows) {
        const std::optional<CPdfObjectShape::Reading> read = readObjectWindow(window);
        CPdfObjectShape::Reading shaped;
        if (shape.match(window, shaped)) {
            if (!read || shaped.frameLength != read->frameLength ||
                shaped.header.number != read->header.number ||
                shaped.header.generation != read->header.generation ||
                shaped.header.bodyStart != read->header.bodyStart || shaped.body != read->body ||
                !std::equal(shaped.keys, shaped.keys + CPdfObjectShape::kMaxKeys, read->keys)) {
                __builtin_trap();
            }
        } else if (read) {
            (void)shape.keep(window, *read);
        }
    }
}

} // namespace fuzz_harness
