#pragma once

#include <cstdint>
#include <string>

// What one pass did, for the front end's reports and logs.
struct PassResult {
    uint32_t pages = 0;        // pages of the document
    uint32_t stampedPages = 0; // pages that got a stamp (any of the run's stamps)
    // The number and the text (UTF-8, as composed) of the first stamp on the first and the
    // last page it is drawn on, in page order; zero and empty when it is drawn on none.
    int32_t firstNumber = 0;
    int32_t lastNumber = 0;
    std::string firstText;
    std::string lastText;
    bool update = false;   // written as an incremental update
    bool repaired = false; // its cross-reference data had to be rebuilt
    bool signedInput = false;
    // The output's name once the run's last steps are done: after the rename, when it was
    // renamed. Empty for an intermediate pass, whose output is not the run's.
    std::string output;
};
