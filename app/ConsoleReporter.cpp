#include "app/ConsoleReporter.h"

#include <cstdio>

void ConsoleReporter::note(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void ConsoleReporter::progress() {
    std::fputc('.', stdout);
}

void ConsoleReporter::warning(std::string_view line) {
    std::fflush(stdout);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
}
