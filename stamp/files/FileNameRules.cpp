#include "stamp/files/FileNameRules.h"

namespace file_name_rules {

char forbiddenCharacter(std::string_view name) {
    constexpr std::string_view kForbidden = "\\/:*?\"<>|";
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || kForbidden.find(c) != std::string_view::npos) {
            return c;
        }
    }
    return '\0';
}

std::string_view lastPart(std::string_view path) {
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

void replaceFirst(std::string& text, std::string_view placeholder, std::string_view value) {
    const size_t at = text.find(placeholder);
    if (at != std::string::npos) {
        text.replace(at, placeholder.size(), value);
    }
}

} // namespace file_name_rules
