#pragma once

#include <string>
#include <vector>

namespace qm_test {

// The folder of real PDF files for corpus tests (the environment variable
// QUILLMARK_CORPUS_DIR, else the folder configured at build time), or an empty text when it
// does not exist; a test then calls GTEST_SKIP().
std::string corpusDir();

// The reason every corpus test gives when the corpus is missing, one text for all so that the
// test summary counts one missing corpus under one cause: "no corpus at <folder>".
std::string corpusMissing();

// One line of the corpus folder's MANIFEST.tsv.
struct CorpusFile {
    std::string path;    // below the corpus folder, joined to it
    std::string verdict; // clean, warnings, errors, encrypted
    int pages = 0;
};

// The files MANIFEST.tsv in the folder lists (lines of fewer than three fields are skipped).
std::vector<CorpusFile> corpusFiles(const std::string& dir);

} // namespace qm_test
