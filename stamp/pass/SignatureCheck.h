#pragma once

#include <cstdint>

class CPdfXRef;

// Whether the document whose catalog is rootObject carries a signature (/SigFlags bit 1, a
// signature field with a value, or a certification). Throws "PDF file is certified against
// changes" when its certification allows no changes. A form that cannot be read counts as no
// signature.
bool checkSignatures(CPdfXRef& xref, int32_t rootObject);
