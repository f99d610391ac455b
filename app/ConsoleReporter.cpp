#include "app/ConsoleReporter.h"

#include "pdf/CPdfException.h"

#include <cstdio>
#include <set>

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

// The warning lines shown so far in this run.
std::set<std::string, std::less<>>& shownWarnings() {
    static std::set<std::string, std::less<>> shown;
    return shown;
}

} // namespace

bool ConsoleReporter::lineOpen_ = false;
bool ConsoleReporter::oneStream_ = false;

void ConsoleReporter::note(std::string_view text) {
    print(text);
}

void ConsoleReporter::print(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (!text.empty()) {
        lineOpen_ = text.back() != '\n';
    }
}

void ConsoleReporter::progress() {
    std::fputc('.', stdout);
    lineOpen_ = true;
}

void ConsoleReporter::warning(std::string_view line) {
    if (shownWarnings().emplace(line).second) {
        std::fflush(stdout);
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fputc('\n', stderr);
    }
    // A warning each pass of a text-lines run says is kept once for the document.
    if (!keptWarnings_.emplace(line).second) {
        return;
    }
    if (!warnings_.empty()) {
        warnings_ += "; ";
    }
    warnings_.append(line);
}

std::string ConsoleReporter::causeLine(const CPdfException& failure) {
    return oneLine(trimmedCause(failure));
}

void ConsoleReporter::printFailure(const CPdfException& failure, const std::string& hint) {
    const std::string& message = failure.message();
    if (oneStream_ && failure.cause().empty()) {
        // The message is its own cause line, and both would go to standard error.
        if (lineOpen_) {
            std::fputc('\n', stdout);
            lineOpen_ = false;
        }
        printCause(trimmedCause(failure) + hint);
        return;
    }
    if (lineOpen_ && (message.empty() || message.front() != '\n')) {
        std::fputc('\n', stdout);
    }
    std::fwrite(message.data(), 1, message.size(), stdout);
    if (!message.empty() && message.back() != '\n') {
        std::fputc('\n', stdout);
    }
    lineOpen_ = false;
    printCause(trimmedCause(failure) + hint);
}

CPdfException ConsoleReporter::namingFile(const CPdfException& failure, const std::string& file) {
    const std::string quoted = "'" + file + "'";
    if (failure.cause().empty() || file.empty() ||
        failure.cause().find(quoted) != std::string::npos) {
        return failure;
    }
    return CPdfException(failure.message(), quoted + ": " + failure.cause());
}

void ConsoleReporter::printCause(const std::string& cause) {
    const std::string line = oneLine(cause);
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", line.c_str());
}
