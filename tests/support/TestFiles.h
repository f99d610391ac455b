#pragma once

#include <string>

namespace qmtest {

// The folder of real PDF files for corpus tests (the environment variable
// QUILLMARK_CORPUS_DIR, else the folder configured at build time), or an empty text when it
// does not exist; a test then calls GTEST_SKIP().
std::string corpusDir();

} // namespace qmtest
