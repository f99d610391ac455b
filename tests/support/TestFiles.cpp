#include "support/TestFiles.h"

#include <cstdlib>
#include <filesystem>

namespace qmtest {

namespace fs = std::filesystem;

std::string corpusDir() {
    std::string dir;
    if (const char* env = std::getenv("QUILLMARK_CORPUS_DIR"); env && *env) {
        dir = env;
    } else {
#ifdef QUILLMARK_CORPUS_DIR
        dir = QUILLMARK_CORPUS_DIR;
#endif
    }
    std::error_code error;
    if (dir.empty() || !fs::is_directory(dir, error)) {
        return {};
    }
    return dir;
}

} // namespace qmtest
