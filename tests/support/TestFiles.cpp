#include "support/TestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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

std::vector<CorpusFile> corpusFiles(const std::string& dir) {
    std::vector<CorpusFile> files;
    std::ifstream manifest(fs::path(dir) / "MANIFEST.tsv");
    std::string line;
    std::getline(manifest, line); // column names
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        CorpusFile file;
        std::string pages;
        if (std::getline(fields, file.path, '\t') && std::getline(fields, file.verdict, '\t') &&
            std::getline(fields, pages, '\t')) {
            file.path = (fs::path(dir) / file.path).string();
            file.pages = std::atoi(pages.c_str());
            files.push_back(file);
        }
    }
    return files;
}

} // namespace qmtest
