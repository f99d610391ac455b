#pragma once

#include <string>
#include <string_view>

// A new, empty folder under the system's temporary folder, removed with everything in it when
// the object goes away.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string file(std::string_view name) const;
    // Writes bytes to the named file inside the folder; returns its full name. Throws
    // std::runtime_error when the file cannot be written.
    std::string write(std::string_view name, std::string_view bytes) const;
    // The whole content of a file (empty when it cannot be read).
    static std::string read(const std::string& fullName);

  private:
    std::string path_;
};
