#include "app/StandardInputCopy.h"

#include "pdf/CPdfException.h"
#include "platform/Platform.h"
#include "platform/UniqueFile.h"

#include <cstdio>

StandardInputCopy::StandardInputCopy() {
    UniqueFile file(platform::createTempFile(path_));
    if (!file) {
        throw CPdfException("\nInput file open error: '-'\n",
                            "Can't make a temporary file for standard input: " +
                                platform::lastErrorText());
    }
    const bool copied = platform::copyStandardInput(file.get());
    const bool closed = std::fclose(file.release()) == 0;
    if (!copied || !closed) {
        const std::string reason = platform::lastErrorText();
        platform::removeFile(path_);
        throw CPdfException("\nInput file read error: '-'\n",
                            "Can't copy standard input to a temporary file: " + reason);
    }
}

StandardInputCopy::~StandardInputCopy() {
    platform::removeFile(path_);
}
