#pragma once

#include <cstdint>

// What a pass learns of its input as it opens it, and how it writes the output from it.
struct InputFacts {
    int32_t infoObject = 0;
    int32_t rootObject = 0;
    bool signedInput = false;
    bool repairedInput = false;
    bool writesUpdate = false;   // this pass appends an update
    bool markedDocument = false; // the document is tagged: the stamp is an artifact
};
