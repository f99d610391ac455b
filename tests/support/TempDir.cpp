#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace {

// A file name as the program spells it (UTF-8) in the form the library opens on every system.
std::filesystem::path utf8Path(const std::string& name) {
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

} // namespace

TempDir::TempDir() {
    // A fresh name that no one else has made: create_directory is false for an existing one.
    static std::mt19937_64 names{std::random_device{}()};
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate =
            base / ("quillmark-test-" + std::to_string(names() % 1000000000000ULL));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            path_ = candidate.generic_string();
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(utf8Path(path_), ignored);
}

std::string TempDir::file(std::string_view name) const {
    return path_ + "/" + std::string(name);
}

std::string TempDir::write(std::string_view name, std::string_view bytes) const {
    std::string fullName = file(name);
    std::ofstream out(utf8Path(fullName), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + fullName);
    }
    return fullName;
}

std::string TempDir::read(const std::string& fullName) {
    std::ifstream in(utf8Path(fullName), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}
