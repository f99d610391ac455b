#pragma once

// The byte syntax of PDF, shared by the object parser, the cross-reference table scanner and
// the stamping engine's byte edits, in one piece a job: tokens and byte classes, numbers and
// references, searches in raw bytes, indirect objects' headers and frames, and the entries of
// dictionaries.
#include "pdf/PdfSyntaxDictionaries.h"
#include "pdf/PdfSyntaxNumbers.h"
#include "pdf/PdfSyntaxObjects.h"
#include "pdf/PdfSyntaxSearch.h"
#include "pdf/PdfSyntaxTokens.h"
