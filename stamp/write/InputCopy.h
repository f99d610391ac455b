#pragma once

#include "pdf/CPdfXRef.h"

#include <cstdint>
#include <vector>

class CPdfInputFile;
class COutputWriter;

// Input bytes (offsets from the header) copied to the output, block by block; throws "Input file
// read error" when the input cannot give them.
void copyInputRange(CPdfInputFile& input, COutputWriter& output, uint64_t start, uint64_t length);
// An object of the input (its bytes from start on) to the output as copyInputRange copies them,
// but for its references to object numbers of rows or more, written as "null" (see
// nullReferencesPast): in a stream's dictionary only, never in its data. The number the first
// of them named, or 0.
uint64_t copyInputObject(CPdfInputFile& input, COutputWriter& output, uint64_t start,
                         uint64_t length, bool isStream, size_t rows);
// The first of count object numbers from rows on that no reference in the input's bytes names,
// for the objects an update adds (it writes none of the input's objects again, so a reference
// to nothing in them must not come to name one of its own). Numbers past limit are not looked
// for: rows itself when no run below limit is free of them.
size_t firstUnnamedNumbers(CPdfInputFile& input, size_t rows, size_t count, size_t limit);
// The input's header, up to its lowest object offset (at least the "%PDF-" line), to the output.
void copyHeader(CPdfInputFile& input, const std::vector<XRefEntry>& entries, COutputWriter& output);
// Every byte of the input, those before its header included, then a line end if it had none
// last: the start of an incremental update, whose offsets count from the input's header.
void copyWholeInput(CPdfInputFile& input, COutputWriter& output);
