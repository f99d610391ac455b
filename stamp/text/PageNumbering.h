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
