#include "app/Placeholders.h"

#include "app/StandardInputCopy.h"
#include "platform/Platform.h"
#include "stamp/files/FileNameRules.h"

#include <cstdio>

namespace placeholders {

using file_name_rules::replaceFirst;

namespace {

constexpr std::string_view kAll[] = {"[FILETITLE]",   "[FILENAME]", "[FILECREATEDATE]",
                                     "[FILEMODDATE]", "[DD]",       "[MM]",
                                     "[YYYY]",        "[hh]",       "[mm]",
                                     "[ss]"};

std::string twoDigits(int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%2.2d", value);
    return buffer;
}

void doubleBackslashes(std::string& text) {
    std::string doubled;
    doubled.reserve(text.size());
    for (char c : text) {
        doubled += c;
        if (c == '\\') {
            doubled += '\\';
        }
    }
    text.swap(doubled);
}

} // namespace

bool containsAny(std::string_view text) {
    for (std::string_view placeholder : kAll) {
        if (text.find(placeholder) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

std::string fileTitle(std::string_view inputName) {
    std::string_view name = inputName.substr(platform::fileNameStart(inputName));
    if (name.size() < 4) {
        return std::string();
    }
    return std::string(name.substr(0, name.size() - 4));
}

std::string formatCtime(const std::tm& time) {
    static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char* day = time.tm_wday >= 0 && time.tm_wday < 7 ? kDays[time.tm_wday] : "???";
    const char* month = time.tm_mon >= 0 && time.tm_mon < 12 ? kMonths[time.tm_mon] : "???";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3s %.3s%3d %.2d:%.2d:%.2d %d\n", day, month,
                  time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec, 1900 + time.tm_year);
    return buffer;
}

std::string expand(std::string text, const std::string& inputName, bool* timesMissing) {
    if (!containsAny(text)) {
        return text;
    }
    replaceFirst(text, "[FILETITLE]", fileTitle(inputName));

    if (text.find("[FILENAME]") != std::string::npos) {
        replaceFirst(text, "[FILENAME]", inputName);
        // The text ends up inside a PDF string, where a lone backslash starts an escape.
        doubleBackslashes(text);
    }

    std::string modifiedText;
    std::string createdText;
    platform::FileTimes times;
    std::string errorText;
    // Standard input has no file dates (and is never a file named "-"): said only when the
    // text asks for them.
    const bool standardInput = StandardInputCopy::isStandardInput(inputName);
    const bool datesAsked = text.find("[FILEMODDATE]") != std::string::npos ||
                            text.find("[FILECREATEDATE]") != std::string::npos;
    if (!standardInput && platform::getFileTimes(inputName, times, errorText)) {
        modifiedText = formatCtime(times.modified);
        createdText = formatCtime(times.created);
    } else if (!standardInput || datesAsked) {
        if (standardInput) {
            errorText = "'-': standard input has no file dates";
        }
        std::fflush(stdout);
        std::fputs("Problem getting file date information\n", stderr);
        std::fprintf(stderr, "%s\n", errorText.c_str());
        if (timesMissing != nullptr) {
            *timesMissing = true;
        }
    }
    replaceFirst(text, "[FILEMODDATE]", modifiedText);
    replaceFirst(text, "[FILECREATEDATE]", createdText);

    const std::tm now = platform::now().tm;
    char year[32];
    std::snprintf(year, sizeof year, "%4.4d", 1900 + now.tm_year);
    replaceFirst(text, "[DD]", twoDigits(now.tm_mday));
    replaceFirst(text, "[MM]", twoDigits(now.tm_mon + 1));
    replaceFirst(text, "[YYYY]", year);
    replaceFirst(text, "[hh]", twoDigits(now.tm_hour));
    replaceFirst(text, "[mm]", twoDigits(now.tm_min));
    replaceFirst(text, "[ss]", twoDigits(now.tm_sec));
    return text;
}

} // namespace placeholders
