#include "pdf/CPdfParser.h"

#include "pdf/CPdfSecurityHandler.h"

#include "pdf/CPdfArray.h"
#include "pdf/CPdfDecryptStream.h"
#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfEmptyStream.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfFilters.h"
#include "pdf/CPdfStream.h"
#include "pdf/CPdfXRef.h"
#include "pdf/Limits.h"
#include "pdf/PdfSyntax.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

using pdf_syntax::hexValue;
using pdf_syntax::isDigit;
using pdf_syntax::isRegular;
using pdf_syntax::isWhitespace;

namespace {

// Out of line, so that the recursion of parseObject keeps small frames: the strings of the
// message would take room in every one of them.
[[noreturn, gnu::noinline, gnu::cold]] void throwTooDeep(uint64_t position) {
    throw CPdfException("PDF file was damaged", "arrays and dictionaries nested deeper than " +
                                                    std::to_string(limits::kMaxNestingDepth) +
                                                    " levels, at byte " + std::to_string(position));
}

// A stream whose data does not end in "endstream": its /Length runs past any file (pastAnyFile),
// or the bytes after the data are something else.
[[noreturn, gnu::noinline, gnu::cold]] void throwMissingEndstream(uint64_t start, int64_t length,
                                                                  bool pastAnyFile) {
    const std::string data = "stream data at byte " + std::to_string(start);
    throw CPdfException(
        "Missing 'endstream'",
        pastAnyFile ? data + " has a /Length of " + std::to_string(length) + ", past any file"
                    : "no endstream after the " + std::to_string(length) + " bytes of the " + data);
}

} // namespace

CPdfParser::CPdfParser(CPdfXRef* xref, CPdfStream* source, int fetchDepth)
    : xref_(xref), source_(source), fetchDepth_(fetchDepth) {
    readToken(current_);
    readToken(lookahead_);
}

CPdfParser::~CPdfParser() {
    current_.clear();
    lookahead_.clear();
    if (source_) {
        source_->release();
    }
}

void CPdfParser::advance() {
    current_ = std::move(lookahead_);
    lookahead_.clear();
    readToken(lookahead_);
}

void CPdfParser::readToken(CPdfElement& out) {
    int c;
    for (;;) {
        c = source_->getChar();
        if (c < 0) {
            out.setEndOfInput();
            return;
        }
        if (isWhitespace(c)) {
            continue;
        }
        if (c == '%') {
            // A comment runs up to and including the next line end.
            do {
                c = source_->getChar();
            } while (c >= 0 && c != '\r' && c != '\n');
            continue;
        }
        break;
    }
    switch (c) {
    case '(':
        readLiteralString(out);
        return;
    case '/':
        readName(out);
        return;
    case '<':
        if (source_->peekChar() == '<') {
            source_->getChar();
            out.setKeyword("<<");
        } else {
            readHexString(out);
        }
        return;
    case '>':
        if (source_->peekChar() == '>') {
            source_->getChar();
            out.setKeyword(">>");
        } else {
            out.setError();
        }
        return;
    case ')':
    case '{':
    case '}':
        out.setError();
        return;
    case '[':
        out.setKeyword("[");
        return;
    case ']':
        out.setKeyword("]");
        return;
    default:
        break;
    }
    if (c == '-' || c == '.' || isDigit(c)) {
        readNumber(c, out);
    } else {
        readWord(c, out);
    }
}

void CPdfParser::readLiteralString(CPdfElement& out) {
    text_.clear();
    int depth = 1;
    for (;;) {
        int c = source_->getChar();
        if (c < 0) {
            break;
        }
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (--depth == 0) {
                break;
            }
        } else if (c == '\\') {
            c = source_->getChar();
            if (c < 0) {
                break;
            }
            switch (c) {
            case 'n':
                c = '\n';
                break;
            case 'r':
                c = '\r';
                break;
            case 't':
                c = '\t';
                break;
            case 'b':
                c = '\b';
                break;
            case 'f':
                c = '\f';
                break;
            case '\n':
                continue; // line continuation
            case '\r':
                if (source_->peekChar() == '\n') {
                    source_->getChar();
                }
                continue;
            default:
                if (c >= '0' && c <= '7') {
                    int value = c - '0';
                    for (int k = 0; k < 2; ++k) {
                        int next = source_->peekChar();
                        if (next < '0' || next > '7') {
                            break;
                        }
                        source_->getChar();
                        value = value * 8 + (next - '0');
                    }
                    c = value & 0xFF;
                }
                break;
            }
        }
        text_.push_back(static_cast<char>(c));
    }
    out.setString(text_);
}

void CPdfParser::readHexString(CPdfElement& out) {
    text_.clear();
    int high = -1;
    for (;;) {
        int c = source_->getChar();
        if (c < 0 || c == '>') {
            break;
        }
        if (isWhitespace(c)) {
            continue;
        }
        int digit = hexValue(c);
        if (digit < 0) {
            digit = 0;
        }
        if (high < 0) {
            high = digit;
        } else {
            text_.push_back(static_cast<char>(high * 16 + digit));
            high = -1;
        }
    }
    if (high >= 0) {
        text_.push_back(static_cast<char>(high * 16));
    }
    out.setString(text_);
}

void CPdfParser::readName(CPdfElement& out) {
    text_.clear();
    while (isRegular(source_->peekChar())) {
        int c = source_->getChar();
        if (c == '#') {
            int high = hexValue(source_->peekChar());
            if (high >= 0) {
                source_->getChar();
                int low = hexValue(source_->getChar()); // consumed whatever it is
                c = high * 16 + (low < 0 ? 0 : low);
            }
        }
        text_.push_back(static_cast<char>(c));
    }
    out.setName(text_);
}

void CPdfParser::readNumber(int first, CPdfElement& out) {
    text_.assign(1, static_cast<char>(first));
    bool real = first == '.';
    for (;;) {
        int c = source_->peekChar();
        if (!isDigit(c) && c != '.') {
            break;
        }
        source_->getChar();
        real = real || c == '.';
        text_.push_back(static_cast<char>(c));
    }
    if (real) {
        double value = 0.0;
        // Stops at the first byte that does not continue a number ("1.2.3" gives 1.2).
        std::from_chars(text_.data(), text_.data() + text_.size(), value);
        out.setReal(value);
    } else {
        // Held at the 64-bit range, as strtoll does.
        out.setInteger64(pdf_syntax::readSignedInteger(text_, 0).value);
    }
}

void CPdfParser::readWord(int first, CPdfElement& out) {
    text_.assign(1, static_cast<char>(first));
    while (isRegular(source_->peekChar())) {
        text_.push_back(static_cast<char>(source_->getChar()));
    }
    if (text_ == "true") {
        out.setBoolean(true);
    } else if (text_ == "false") {
        out.setBoolean(false);
    } else if (text_ == "null") {
        out.setNull();
    } else {
        out.setKeyword(text_);
    }
}

void CPdfParser::parseObject(CPdfElement& out) {
    parseObject(out, 0);
}

void CPdfParser::setDecryption(const CPdfSecurityHandler* security, int64_t number,
                               int64_t generation) {
    security_ = security;
    objectNumber_ = number;
    objectGeneration_ = generation;
}

namespace {

// A signature dictionary keeps its /Contents clear in a protected file.
bool isSignatureDictionary(const CPdfDictionary& dict) {
    const CPdfElement* type = dict.find("Type");
    return type && type->is(ElementKind::Name) &&
           (type->getText() == "Sig" || type->getText() == "DocTimeStamp");
}

} // namespace

void CPdfParser::parseObject(CPdfElement& out, int depth) {
    if (depth > limits::kMaxNestingDepth) {
        throwTooDeep(source_->getPos());
    }
    // Arrays and dictionaries are read by functions of their own, so that the frame that
    // recursion multiplies by the nesting depth holds no more than it needs.
    if (current_.isKeyword("[")) {
        parseArray(out, depth);
        return;
    }
    if (current_.isKeyword("<<")) {
        parseDictionary(out, depth);
        return;
    }
    if (current_.is(ElementKind::Integer)) {
        out = std::move(current_);
        advance();
        if (current_.is(ElementKind::Integer) && lookahead_.isKeyword("R")) {
            out.setReference(out.getInteger(), current_.getInteger());
            advance();
            advance();
        }
        return;
    }
    out = std::move(current_);
    advance();
    if (security_ && depth == 0 && out.is(ElementKind::String)) {
        decryptString(out);
    }
}

void CPdfParser::parseArray(CPdfElement& out, int depth) {
    advance();
    out.makeArray(xref_);
    CPdfArray* array = out.getArray();
    while (!current_.isKeyword("]")) {
        if (current_.is(ElementKind::EndOfInput)) {
            out.setError(); // an array cut off by the end of the input is unusable
            return;
        }
        CPdfElement item;
        parseObject(item, depth + 1);
        if (security_ && item.is(ElementKind::String)) {
            decryptString(item);
        }
        array->append(item);
    }
    advance();
}

void CPdfParser::parseDictionary(CPdfElement& out, int depth) {
    advance();
    out.makeDictionary(xref_);
    CPdfDictionary* dict = out.getDictionary();
    while (!current_.isKeyword(">>")) {
        if (current_.is(ElementKind::EndOfInput)) {
            out.setError();
            return;
        }
        if (!current_.is(ElementKind::Name)) {
            advance(); // not a key: skipped
            continue;
        }
        std::string key = current_.getText();
        advance();
        if (current_.is(ElementKind::Error)) {
            continue; // the key is dropped; the Error is skipped on the next pass
        }
        CPdfElement value;
        parseObject(value, depth + 1);
        // /Contents is decrypted once the dictionary shows it is no signature's.
        if (security_ && value.is(ElementKind::String) && key != "Contents") {
            decryptString(value);
        }
        dict->addEntry(key, value);
    }
    if (security_) {
        decryptContentsUnlessSignature(*dict);
    }
    if (lookahead_.isKeyword("stream")) {
        CPdfStream* stream = readStreamBody(out);
        if (stream) {
            out.setStream(stream);
            stream->release();
        } else {
            out.setError();
        }
    } else {
        advance();
    }
}

void CPdfParser::skipToLineEnd() {
    for (;;) {
        int c = source_->getChar();
        if (c < 0 || c == '\n') {
            return;
        }
        if (c == '\r') {
            if (source_->peekChar() == '\n') {
                source_->getChar();
            }
            return;
        }
    }
}

bool CPdfParser::readLength(const CPdfElement& dict, int64_t& length) {
    const CPdfElement* entry = dict.getDictionary()->find("Length");
    if (!entry) {
        return false;
    }
    CPdfElement value;
    if (entry->is(ElementKind::Reference) && xref_) {
        // An indirect length is fetched one level deeper; a loop ends at the fetch limit.
        xref_->fetchObject(entry->getRefNumber(), entry->getRefGeneration(), value,
                           fetchDepth_ + 1);
    } else {
        value.assign(*entry);
    }
    if (!value.is(ElementKind::Integer) || value.getInteger64() < 0) {
        return false;
    }
    length = value.getInteger64();
    return true;
}

// Both helpers stay out of parseObject's frame, which recursion multiplies by the nesting depth.
void CPdfParser::decryptString(CPdfElement& string) const {
    string.setString(security_->decrypt(false, objectNumber_, objectGeneration_, string.getText()));
}

void CPdfParser::decryptContentsUnlessSignature(CPdfDictionary& dict) const {
    const CPdfElement* contents = dict.find("Contents");
    if (!contents || !contents->is(ElementKind::String) || isSignatureDictionary(dict)) {
        return;
    }
    CPdfElement clear;
    clear.setString(
        security_->decrypt(false, objectNumber_, objectGeneration_, contents->getText()));
    dict.replaceEntry("Contents", clear);
}

bool CPdfParser::decryptsStream(const CPdfElement& dict) const {
    const CPdfElement* type = dict.getDictionary()->find("Type");
    const std::string name = type && type->is(ElementKind::Name) ? type->getText() : "";
    // Cross-reference streams are never encrypted; metadata is kept clear when the file says so.
    return name != "XRef" && (name != "Metadata" || security_->encryptsMetadata());
}

CPdfStream* CPdfParser::readStreamBody(const CPdfElement& dict) {
    skipToLineEnd();
    uint64_t start = source_->getPos();
    int64_t length = 0;
    if (!readLength(dict, length)) {
        return nullptr;
    }
    if (uint64_t(length) > UINT64_MAX / 2 - start) {
        throwMissingEndstream(start, length, true);
    }
    uint64_t end = start + uint64_t(length);

    // The window over the data; when the source cannot make one (the text of an object inside
    // an object stream), the data is skipped byte by byte and the stream has no readable data.
    CPdfStream* window = nullptr;
    if (length == 0) {
        window = new CPdfEmptyStream(start, dict);
    } else {
        window = source_->openSubStream(start, uint64_t(length), dict);
    }
    CPdfStream* decoded = nullptr;
    if (window && security_ && length != 0 && decryptsStream(dict)) {
        window = new CPdfDecryptStream(window, *security_, objectNumber_, objectGeneration_);
    }
    if (window) {
        try {
            decoded = applyFilters(window, dict);
        } catch (...) {
            window->release();
            throw;
        }
        if (!decoded) {
            window->release();
        }
        source_->setPos(static_cast<int64_t>(end), 0);
    } else {
        for (int64_t i = 0; i < length && source_->getChar() >= 0; ++i) {
        }
    }
    advance();
    advance();
    if (!current_.isKeyword("endstream")) {
        if (decoded) {
            decoded->release();
        }
        throwMissingEndstream(start, length, false);
    }
    advance();
    return decoded;
}
