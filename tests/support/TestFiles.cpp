#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qmtest {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder()
{
    std::string name = "qm";
    if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
        name += std::string("-") + info->test_suite_name() + "-" + info->name();
    }
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') {
            c = '_';
        }
    }
    std::string pattern = (fs::temp_directory_path() / (name.substr(0, 80) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string ScratchFolder::file(std::string_view name) const
{
    return path_ + "/" + std::string(name);
}

std::string ScratchFolder::write(std::string_view name, std::string_view bytes) const
{
    std::string full = file(name);
    std::ofstream out(full, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + full);
    }
    return full;
}

std::string corpusDir()
{
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

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return in ? text.str() : std::string();
}

} // namespace qmtest
