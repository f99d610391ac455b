#pragma once

#include "pdf/CPdfXRef.h"

#include <cstdint>
#include <vector>

class CPdfInputFile;
class COutputWriter;

// Input bytes (offsets from the header) copied to the output, block by block; throws "Input file
// read error" when the input cannot give them.
void copyInputRange(CPdfInputFile& input, COutputWriter& output, uint64_t start, uint64_t length);
// The input's header, up to its lowest object offset (at least the "%PDF-" line), to the output.
void copyHeader(CPdfInputFile& input, const std::vector<XRefEntry>& entries, COutputWriter& output);
// Every byte of the input, those before its header included, then a line end if it had none
// last: the start of an incremental update, whose offsets count from the input's header.
void copyWholeInput(CPdfInputFile& input, COutputWriter& output);
