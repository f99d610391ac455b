#include "app/FolderInput.h"

#include "platform/Platform.h"

#include <algorithm>

namespace folder_input {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isDocumentName(std::string_view name) {
    constexpr std::string_view kExtension = ".pdf";
    if (name.size() <= kExtension.size()) {
        return false;
    }
    const std::string_view end = name.substr(name.size() - kExtension.size());
    return std::equal(end.begin(), end.end(), kExtension.begin(),
                      [](char a, char b) { return lower(a) == b; });
}

// The run of digits at position, without its leading zeros; position is moved past the run.
std::string_view digitRun(std::string_view text, size_t& position) {
    const size_t start = position;
    while (position < text.size() && isDigit(text[position])) {
        ++position;
    }
    std::string_view run = text.substr(start, position - start);
    while (run.size() > 1 && run[0] == '0') {
        run.remove_prefix(1);
    }
    return run;
}

// Negative, zero or positive as a sorts before, with or after b in natural order.
int naturalCompare(std::string_view a, std::string_view b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const std::string_view left = digitRun(a, i);
            const std::string_view right = digitRun(b, j);
            if (left.size() != right.size()) {
                return left.size() < right.size() ? -1 : 1;
            }
            if (const int order = left.compare(right); order != 0) {
                return order;
            }
            continue;
        }
        const char left = lower(a[i++]);
        const char right = lower(b[j++]);
        if (left != right) {
            return static_cast<unsigned char>(left) < static_cast<unsigned char>(right) ? -1 : 1;
        }
    }
    return (i < a.size()) - (j < b.size());
}

} // namespace

bool naturalLess(std::string_view a, std::string_view b) {
    const int order = naturalCompare(a, b);
    return order != 0 ? order < 0 : a < b;
}

bool documentNames(const std::string& folder, std::vector<std::string>& names,
                   std::string& errorText) {
    std::vector<std::string> entries;
    if (!platform::listFolder(folder, entries, errorText)) {
        return false;
    }
    names.clear();
    for (std::string& entry : entries) {
        if (isDocumentName(entry) && !platform::isDirectory(platform::joinPath(folder, entry))) {
            names.push_back(std::move(entry));
        }
    }
    std::sort(names.begin(), names.end(), naturalLess);
    return true;
}

} // namespace folder_input
