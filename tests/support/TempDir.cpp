#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillmark-test-XXXXXX");
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::file(std::string_view name) const {
    return path_ + "/" + std::string(name);
}

std::string TempDir::write(std::string_view name, std::string_view bytes) const {
    std::string fullName = file(name);
    std::ofstream out(fullName, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + fullName);
    }
    return fullName;
}

std::string TempDir::read(const std::string& fullName) {
    std::ifstream in(fullName, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}
