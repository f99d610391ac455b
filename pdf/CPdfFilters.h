#pragma once

#include <string_view>

class CPdfElement;
class CPdfStream;

// The stream that delivers the decoded data of a stream object, or nullptr when its filters
// cannot be handled. On success the result has taken over the caller's reference to stream
// (or is stream itself); on nullptr the caller still holds it.
CPdfStream* applyFilters(CPdfStream* stream, const CPdfElement& streamDict);

// The Flate stream for "FlateDecode" or "Fl", or nullptr for any other name.
CPdfStream* makeFilter(std::string_view name, CPdfStream* stream, const CPdfElement& decodeParms);
