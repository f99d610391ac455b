#include "app/LineReader.h"

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
    }
    return !line.empty();
}
