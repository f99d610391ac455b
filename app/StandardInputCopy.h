#pragma once

#include <string>

// Standard input (-i-) copied to a temporary file in the system's temporary folder, which the
// run then reads as it reads any input: the same checks and limits apply. The file is removed
// when the copy goes, however the run ends (and by the signal handlers when a signal ends it).
class StandardInputCopy {
  public:
    static bool isStandardInput(const std::string& name) { return name == "-"; }

    // Reads standard input to its end. Throws CPdfException when the file cannot be made or
    // standard input cannot be read.
    StandardInputCopy();
    ~StandardInputCopy();
    StandardInputCopy(const StandardInputCopy&) = delete;
    StandardInputCopy& operator=(const StandardInputCopy&) = delete;

    const std::string& path() const { return path_; }

  private:
    std::string path_;
};
