#include "support/ExternalTools.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace tools {

#ifdef _WIN32
// The readers are Linux programs: under wine they cannot be run, so every check that needs one
// is skipped there, and the Windows stage of tools/test.sh runs them on the outputs from the
// Linux side.
ToolResult run(const std::vector<std::string>&) {
    return ToolResult{};
}

bool available(const std::string&) {
    return false;
}
#else
namespace {

std::string quoted(const std::string& word) {
    std::string text = "'";
    for (char c : word) {
        if (c == '\'') {
            text += "'\\''";
        } else {
            text += c;
        }
    }
    return text + "'";
}

} // namespace

ToolResult run(const std::vector<std::string>& words) {
    // A reader that hangs on some file must not hang the test run.
    std::string command = "timeout 30 ";
    for (const std::string& word : words) {
        command += quoted(word) + " ";
    }
    command += "2>&1";
    ToolResult result;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 65536> buffer;
    size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        result.out.append(buffer.data(), got);
    }
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool available(const std::string& command) {
    return run({"sh", "-c", "command -v " + command}).status == 0;
}
#endif

bool qpdfCheckClean(const std::string& path, std::string& details) {
    ToolResult result = run({"qpdf", "--check", path});
    details = result.out;
    return result.status == 0 && result.out.find("WARNING") == std::string::npos &&
           result.out.find("No syntax or stream encoding errors") != std::string::npos;
}

int qpdfPageCount(const std::string& path) {
    ToolResult result = run({"qpdf", "--show-npages", path});
    if (result.status != 0 && result.status != 3) {
        return -1;
    }
    // Warnings may come before the count: take the line that is a number.
    size_t start = 0;
    while (start < result.out.size()) {
        size_t end = result.out.find('\n', start);
        const std::string line = result.out.substr(start, end - start);
        if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) {
            return std::stoi(line);
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return -1;
}

int mupdfPageCount(const std::string& path) {
    const ToolResult result = run({"mutool", "info", path});
    constexpr std::string_view kLabel = "Pages: ";
    const size_t at = result.out.find(kLabel);
    if (at == std::string::npos) {
        return -1;
    }
    const size_t digits = at + kLabel.size();
    const size_t end = result.out.find_first_not_of("0123456789", digits);
    return end == digits ? -1 : std::stoi(result.out.substr(digits, end - digits));
}

std::vector<std::string> pdfTextPages(const std::string& path, bool raw) {
    std::vector<std::string> words = {"pdftotext", "-q", "-enc", "UTF-8"};
    if (raw) {
        words.push_back("-raw");
    }
    words.push_back(path);
    words.push_back("-");
    ToolResult result = run(words);
    std::vector<std::string> pages;
    if (result.status != 0) {
        return pages;
    }
    // pdftotext ends every page with a form feed.
    size_t start = 0;
    for (size_t at = result.out.find('\f'); at != std::string::npos;
         at = result.out.find('\f', start)) {
        pages.push_back(result.out.substr(start, at - start));
        start = at + 1;
    }
    return pages;
}

std::vector<std::array<double, 4>> pageCropBoxes(const std::string& path) {
    std::vector<std::array<double, 4>> boxes;
    ToolResult result = run({"pdfinfo", "-box", "-f", "1", "-l", "1000000", path});
    if (result.status != 0) {
        return boxes;
    }
    size_t at = 0;
    while ((at = result.out.find("CropBox:", at)) != std::string::npos) {
        std::array<double, 4> box{};
        char* cursor = result.out.data() + at + 8;
        for (double& value : box) {
            value = std::strtod(cursor, &cursor);
        }
        boxes.push_back(box);
        at += 8;
    }
    return boxes;
}

std::string normalizeSpace(const std::string& text) {
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f') {
            blank = !out.empty();
        } else {
            if (blank) {
                out += ' ';
                blank = false;
            }
            out += c;
        }
    }
    return out;
}

} // namespace tools
