#include "app/ConsoleReporter.h"

#include "pdf/CPdfException.h"

#include <cstdio>

namespace {

// The cause without the line ends at its end.
std::string trimmedCause(const CPdfException& failure) {
    // A failure without a cause of its own (a parameter error) is its own cause.
    std::string cause = failure.cause().empty() ? failure.message() : failure.cause();
    while (!cause.empty() && (cause.back() == '\n' || cause.back() == '\r')) {
        cause.pop_back();
    }
    return cause;
}

std::string oneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        line += (c == '\r' || c == '\n') ? ' ' : c;
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

} // namespace

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
    if (!warnings_.empty()) {
        warnings_ += "; ";
    }
    warnings_.append(line);
}

std::string ConsoleReporter::causeLine(const CPdfException& failure) {
    return oneLine(trimmedCause(failure));
}

void ConsoleReporter::printFailure(const CPdfException& failure, const std::string& hint) {
    std::fwrite(failure.message().data(), 1, failure.message().size(), stdout);
    printCause(trimmedCause(failure) + hint);
}

void ConsoleReporter::printCause(const std::string& cause) {
    const std::string line = oneLine(cause);
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", line.c_str());
}
