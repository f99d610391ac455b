#pragma once

#include "stamp/pass/StampDefinition.h"

#include <cstdint>

// Which pages a stamp is drawn on and the number each shows, by the 1-based position of the page
// in the document.
bool isPageSelected(const StampDefinition& stamp, int32_t position);
// The number shown on the page at position, counting from firstNumber (the -ns number or the
// imported counter) in a document of pageCount pages.
int32_t pageNumberFor(const StampDefinition& stamp, int32_t firstNumber, uint32_t pageCount,
                      int32_t position);
// The number the next document of a series starts at, for the -export counter: one past the
// highest number shown, or, when no page showed one, the number this document started at, so
// that a document with nothing stamped (no pages, or every page skipped) neither resets the
// series nor leaves a gap.
int64_t nextStartNumber(int32_t startNumber, uint32_t numberedPages, int32_t highestShown);
