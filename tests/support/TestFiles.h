#pragma once

#include <string>
#include <string_view>

namespace qmtest {

// A new, empty folder for one test under the system's temporary folder (its name carries the
// running test's name), removed with everything in it when the object goes away.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string file(std::string_view name) const;
    // Writes bytes to the named file in the folder and returns its full name.
    std::string write(std::string_view name, std::string_view bytes) const;

private:
    std::string path_;
};

// The folder of real PDF files for corpus tests (the environment variable
// QUILLMARK_CORPUS_DIR, else the folder configured at build time), or an empty text when it
// does not exist; a test then calls GTEST_SKIP().
std::string corpusDir();

// The whole content of a file; empty when it cannot be read.
std::string readFile(const std::string& path);

} // namespace qmtest
