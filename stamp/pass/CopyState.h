#pragma once

#include <cstdint>
#include <vector>

// What the copy of a pass's objects keeps as it goes: the objects rewritten, the contents of
// pages left unstamped, the file's last "endobj", and whether a reference to nothing was
// noted.
struct CopyState {
    // The objects that pages left unstamped in this pass name as their /Contents, once a
    // shared contents array makes them needed.
    bool unstampedContentsKnown = false;
    std::vector<int32_t> unstampedContents;
    std::vector<bool> rewritten; // objects that a page rewrite has written in this pass
    // Where the file's last "endobj" starts (-1 when it holds none), once it was looked for.
    bool lastEndobjKnown = false;
    int64_t lastEndobj = -1;
    bool referencePastNoted = false; // a reference to no object was written as null
};
