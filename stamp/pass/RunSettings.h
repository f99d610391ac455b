#pragma once

#include <cstdint>
#include <string>

// The settings of a run that are not the stamp's: the files, how the output is written, and the
// steps after it. The front end fills them; a pass only reads them.
struct RunSettings {
    std::string inputName;
    // The name messages give the input when it is read under another name: "-" for standard
    // input, which is read from a copy, and the first input of a text-lines run in its later
    // passes, which read the pass before's output. Empty: messages give inputName.
    std::string shownInputName;
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

    const std::string& inputNameShown() const {
        return shownInputName.empty() ? inputName : shownInputName;
    }
};
