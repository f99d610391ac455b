#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CPdfArray;
class CPdfDictionary;
class CPdfStream;
class CPdfXRef;

// The kinds of a PDF value, with the lexer's own token kinds after them.
enum class ElementKind : int32_t {
    Boolean = 0,
    Integer = 1,
    Real = 2,
    String = 3,
    Name = 4,
    Null = 5,
    Array = 6,
    Dictionary = 7,
    Stream = 8,
    Reference = 9,
    Keyword = 10,
    Error = 11,
    EndOfInput = 12,
    None = 13,
};

// One PDF value of any kind. Texts (String, Name, Keyword) are owned and keep every byte,
// zero bytes included; arrays, dictionaries and streams are shared by counted reference.
class CPdfElement {
  public:
    CPdfElement() = default;
    CPdfElement(const CPdfElement& other);
    CPdfElement(CPdfElement&& other) noexcept;
    CPdfElement& operator=(const CPdfElement& other);
    CPdfElement& operator=(CPdfElement&& other) noexcept;
    virtual ~CPdfElement();

    // Takes the source's kind and value: texts are copied, containers and streams shared.
    void assign(const CPdfElement& source);
    // Releases the value and leaves the element of kind None.
    void clear();

    void setBoolean(bool value);
    void setInteger(int32_t value);
    // An integer whose exact value may exceed 32 bits (file offsets); getInteger saturates it.
    void setInteger64(int64_t value);
    void setReal(double value);
    void setNull();
    void setReference(int32_t number, int32_t generation);
    void setError();
    void setEndOfInput();
    void setString(std::string_view text);
    void setName(std::string_view text);
    void setKeyword(std::string_view text);
    // A new empty container with reference count 1.
    void makeArray(CPdfXRef* xref);
    void makeDictionary(CPdfXRef* xref);
    // Shares an existing dictionary or stream (adds a reference; the caller keeps its own).
    void setDictionary(CPdfDictionary* dictionary);
    void setStream(CPdfStream* stream);

    bool isKeyword(std::string_view text) const;
    // A Reference with an xref is fetched into out; anything else is copied into out.
    void resolve(CPdfXRef* xref, CPdfElement& out) const;

    ElementKind kind() const { return kind_; }
    bool is(ElementKind k) const { return kind_ == k; }
    bool getBoolean() const { return boolean_; }
    int32_t getInteger() const { return integer_; }
    // The exact value of an Integer token (saturated at the 64-bit range), for file offsets.
    int64_t getInteger64() const { return integer64_; }
    double getReal() const { return real_; }
    const std::string& getText() const { return text_; }
    CPdfArray* getArray() const { return array_; }
    CPdfDictionary* getDictionary() const { return dictionary_; }
    CPdfStream* getStream() const { return stream_; }
    int32_t getRefNumber() const { return integer_; }
    int32_t getRefGeneration() const { return generation_; }

  private:
    ElementKind kind_ = ElementKind::None;
    bool boolean_ = false;
    int32_t integer_ = 0;    // Integer value, or the number of a Reference
    int64_t integer64_ = 0;  // exact Integer value
    int32_t generation_ = 0; // generation of a Reference
    double real_ = 0.0;
    std::string text_;
    CPdfArray* array_ = nullptr;
    CPdfDictionary* dictionary_ = nullptr;
    CPdfStream* stream_ = nullptr;
};
