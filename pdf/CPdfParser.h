#pragma once

#include "pdf/CPdfElement.h"

#include <cstdint>
#include <string>

class CPdfDictionary;
class CPdfSecurityHandler;
class CPdfStream;
class CPdfXRef;

// Lexer and recursive-descent parser over a byte stream, with two tokens of lookahead so that
// "12 0 R" is told from two integers.
class CPdfParser {
  public:
    // Takes over the caller's reference to source; reads the first two tokens at once.
    // fetchDepth counts the indirect fetches that led to this parser (for an indirect /Length).
    CPdfParser(CPdfXRef* xref, CPdfStream* source, int fetchDepth = 0);
    virtual ~CPdfParser();
    CPdfParser(const CPdfParser&) = delete;
    CPdfParser& operator=(const CPdfParser&) = delete;

    // Parses one complete object starting at the current token into out (of kind None).
    void parseObject(CPdfElement& out);
    // The object parsed next is object number/generation of a protected file: its strings and
    // stream data are decrypted with its key (not a signature's /Contents, not a
    // cross-reference stream, not metadata that the file keeps clear).
    void setDecryption(const CPdfSecurityHandler* security, int64_t number, int64_t generation);

  private:
    void parseObject(CPdfElement& out, int depth);
    void readToken(CPdfElement& out);
    void readLiteralString(CPdfElement& out);
    void readHexString(CPdfElement& out);
    void readName(CPdfElement& out);
    void readNumber(int first, CPdfElement& out);
    void readWord(int first, CPdfElement& out);
    void advance();
    CPdfStream* readStreamBody(const CPdfElement& dict);
    bool decryptsStream(const CPdfElement& dict) const;
    // A string of the object being read, decrypted in place with the object's key.
    [[gnu::noinline]] void decryptString(CPdfElement& string) const;
    // The array or dictionary that starts at the current token, with its items at depth + 1.
    [[gnu::noinline]] void parseArray(CPdfElement& out, int depth);
    [[gnu::noinline]] void parseDictionary(CPdfElement& out, int depth);
    // A dictionary's /Contents string, decrypted unless the dictionary is a signature's.
    [[gnu::noinline]] void decryptContentsUnlessSignature(CPdfDictionary& dict) const;
    void skipToLineEnd();
    bool readLength(const CPdfElement& dict, int64_t& length);

    CPdfXRef* xref_;
    CPdfStream* source_;
    int fetchDepth_;
    CPdfElement current_;
    CPdfElement lookahead_;
    std::string text_; // scratch buffer for the token being read
    const CPdfSecurityHandler* security_ = nullptr;
    int64_t objectNumber_ = 0;
    int64_t objectGeneration_ = 0;
};
