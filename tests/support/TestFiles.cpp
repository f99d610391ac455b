#include "support/TestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qm_test {

namespace fs = std::filesystem;

namespace {

// The folder asked for: the environment's, else the configured one.
std::string corpusFolderAskedFor() {
    if (const char* env = std::getenv("QUILLMARK_CORPUS_DIR"); env && *env) {
        return env;
    }
#ifdef QUILLMARK_CORPUS_DIR
    return QUILLMARK_CORPUS_DIR;
#else
    return {};
#endif
}

} // namespace

std::string corpusMissing() {
    const std::string dir = corpusFolderAskedFor();
    return dir.empty() ? "no corpus folder configured" : "no corpus at " + dir;
}

std::string corpusDir() {
    const std::string dir = corpusFolderAskedFor();
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

} // namespace qm_test
