#include "stamp/LineReader.h"

bool readLine(std::FILE* file, std::string& line, size_t maxBytes) {
    line.clear();
    while (line.size() < maxBytes) {
        int c = std::getc(file);
        if (c == EOF) {
            break;
        }
        line += static_cast<char>(c);
        if (c == '\n') {
            break;
        }
        if (c == '\r') {
            // CR LF is one line end; a CR alone ends the line as well.
            int next = std::getc(file);
            if (next == '\n') {
                line += '\n';
            } else if (next != EOF) {
                std::ungetc(next, file);
            }
            break;
        }
    }
    return !line.empty();
}

std::string_view withoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    return line;
}

size_t countLines(std::FILE* file, size_t maxBytes) {
    size_t count = 0;
    std::string line;
    while (readLine(file, line, maxBytes)) {
        ++count;
    }
    std::rewind(file);
    return count;
}
