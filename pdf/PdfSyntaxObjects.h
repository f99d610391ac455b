#pragma once

#include "pdf/PdfSyntaxTokens.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// Indirect objects in PDF's byte syntax: the header "n g obj", the body after it, and the
// keyword that ends the object's frame.
namespace pdf_syntax {

// The header "n g obj" at the start of an indirect object's text.
struct ObjectHeader {
    int64_t number = -1;
    int64_t generation = -1;
    size_t bodyStart = 0; // first byte after "obj"
};
std::optional<ObjectHeader> readObjectHeader(std::string_view text);

// Position of the "<<" that opens the body of an indirect object, or npos when the body is not
// a dictionary.
size_t findBodyDictionary(std::string_view text);
// Position of the first byte of the body of an indirect object (after "obj" and white-space).
size_t findBody(std::string_view text);

// The body of an integer object written plainly, from bodyStart (just after "obj"): spaces or
// line ends, an unsigned decimal of at most nine digits, spaces or line ends, "endobj". False
// for any other form, which a full reading has to judge.
bool readPlainIntegerBody(std::string_view text, size_t bodyStart, int64_t& value);

// Whether the dictionaries and arrays opened in text are closed at its end, as the parser
// reads them (">>" closes a dictionary, "]" an array, a closing token of the other kind closes
// nothing); for text without strings and comments, whose every "<" opens a dictionary.
bool nestingClosed(std::string_view text);

// The keyword that ends the frame of an indirect object's text: the first "stream" or "endobj"
// at or after pos that lies outside literal and hex strings, comments and names, and outside
// every dictionary and array of the object (a keyword there is a stray token). Inside other
// tokens the keywords are matched as the bytes they are, so that an "endobj" glued to the value
// before it ("5endobj", as some writers put it) still ends the object. With atHeader, pos is at the
// object's "N G obj", whose "obj" is the first such word of the text.
struct ObjectKeyword {
    enum Kind : unsigned char {
        kStream,
        kEndobj,
        // The text ended before a keyword: resume is where a scan of the bytes that follow,
        // from the same start of a token, goes on (the start of a token cut by the end).
        kNeedMore,
        // The next object's "obj" came first, or a string ran into a line or a word that starts
        // "N G obj": the object is not closed where it should be, and its tokens cannot frame
        // it.
        kNextObject,
    };
    Kind kind = kNeedMore;
    size_t at = 0; // the keyword's first byte, or the resume position
};
ObjectKeyword findObjectKeyword(std::string_view text, size_t pos, bool atHeader);

} // namespace pdf_syntax
