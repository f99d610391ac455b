#pragma once

#include <cstdint>
#include <string>

// The settings of a run that are not the stamp's: the files, how the output is written, and the
// steps after it. The front end fills them; a pass only reads them.
struct RunSettings {
    std::string inputName;
    std::string outputName;
    bool quiet = false;
    // The output is the input's bytes as they are with the stamp appended as an update.
    bool incremental = false;
    // -password: tried on a protected input as its owner's or its user's password.
    std::string password;
    // -ignorepermissions: a protected input whose permissions allow no changes is stamped.
    bool ignorePermissions = false;
    bool removeSource = false;
    std::string exportFile;
    std::string importFile;
    std::string renamePattern;
    std::string textLinesFile;
    int32_t lineSpacing = 0;
};
