#include "stamp/CPdfStamp.h"

#include "app/OptionWords.h"
#include "app/Placeholders.h"
#include "pdf/CPdfException.h"
#include "stamp/NumberScan.h"

#include <algorithm>

namespace {

using numberscan::scanDecimal;
using numberscan::scanHex;

enum class Form { Exact, Decimal, Hex, DecimalPair, Value };

// What the matching of one option found.
struct Match {
    int32_t first = 0;
    int32_t second = 0;
    uint32_t hex = 0;
    const std::string* value = nullptr;
};

struct Option {
    const char* text;
    Form form;
    void (*apply)(CPdfStamp& job, const Match& match);
};

// Tested in this order; the first that matches applies.
const Option kOptions[] = {
    {"-s", Form::Decimal, [](CPdfStamp& j, const Match& m) { j.stamp.startPage = m.first; }},
    {"-e", Form::Decimal, [](CPdfStamp& j, const Match& m) { j.stamp.endPage = m.first; }},
    {"-ns", Form::Decimal, [](CPdfStamp& j, const Match& m) { j.stamp.startNumber = m.first; }},
    {"-ne", Form::Decimal, [](CPdfStamp& j, const Match& m) { j.stamp.endNumber = m.first; }},
    {"-m", Form::Decimal, [](CPdfStamp& j, const Match& m) { j.stamp.maskWidth = m.first; }},
    {"-n", Form::Decimal, [](CPdfStamp& j, const Match& m) { j.stamp.nth = m.first; }},
    {"-seq", Form::Exact, [](CPdfStamp& j, const Match&) { j.stamp.sequential = true; }},
    {"-r", Form::Exact, [](CPdfStamp& j, const Match&) { j.stamp.reverse = true; }},
    {"-one", Form::Exact, [](CPdfStamp& j, const Match&) { j.stamp.numberOnly = true; }},
    {"-2up", Form::Exact, [](CPdfStamp& j, const Match&) { j.stamp.twoUp = true; }},
    {"-ab2", Form::Exact, [](CPdfStamp& j, const Match&) { j.stamp.abTwoUp = true; }},
    {"-rom", Form::Exact, [](CPdfStamp& j, const Match&) { j.stamp.lowerRoman = true; }},
    {"-ROM", Form::Exact, [](CPdfStamp& j, const Match&) { j.stamp.upperRoman = true; }},
    {"-export", Form::Value, [](CPdfStamp& j, const Match& m) { j.exportFile = *m.value; }},
    {"-import", Form::Value, [](CPdfStamp& j, const Match& m) { j.importFile = *m.value; }},
    {"-listdelim", Form::Value, [](CPdfStamp& j, const Match& m) { j.listDelimiter = *m.value; }},
    {"-listsep", Form::Value, [](CPdfStamp& j, const Match& m) { j.listSeparator = *m.value; }},
    {"-listusecol", Form::Value, [](CPdfStamp& j, const Match& m) { j.listColumns = *m.value; }},
    {"-pagesize", Form::Value,
     [](CPdfStamp& j, const Match& m) { j.stamp.pageSizeText = *m.value; }},
    {"-nopg", Form::Exact, [](CPdfStamp& j, const Match&) { j.stamp.noPageNumbers = true; }},
    {"-removesourcefile", Form::Exact, [](CPdfStamp& j, const Match&) { j.removeSource = true; }},
    {"-prefix", Form::Value,
     [](CPdfStamp& j, const Match& m) {
         j.stamp.prefixText = placeholders::expand(*m.value, j.inputName, &j.softFailure);
     }},
    {"-sep", Form::Value, [](CPdfStamp& j, const Match& m) { j.stamp.separatorText = *m.value; }},
    {"-end", Form::Value,
     [](CPdfStamp& j, const Match& m) {
         j.stamp.endText = placeholders::expand(*m.value, j.inputName, &j.softFailure);
     }},
    {"-font", Form::Value, [](CPdfStamp& j, const Match& m) { j.stamp.fontName = *m.value; }},
    {"-embedfont", Form::Value,
     [](CPdfStamp& j, const Match& m) { j.stamp.embedFontFile = *m.value; }},
    {"-fontfile", Form::Value,
     [](CPdfStamp& j, const Match& m) { j.stamp.fontMetricsFile = *m.value; }},
    {"-color", Form::Hex, [](CPdfStamp& j, const Match& m) { j.stamp.rgbColor = m.hex; }},
    {"-CMYKcolor", Form::Hex, [](CPdfStamp& j, const Match& m) { j.stamp.cmykColor = m.hex; }},
    {"-size", Form::Decimal, [](CPdfStamp& j, const Match& m) { j.stamp.baseSize = m.first; }},
    {"-sizefile", Form::Value,
     [](CPdfStamp& j, const Match& m) { j.stamp.fontSizesFile = *m.value; }},
    {"-angle", Form::Decimal, [](CPdfStamp& j, const Match& m) { j.stamp.angle = m.first; }},
    {"-noforce", Form::Exact, [](CPdfStamp& j, const Match&) { j.stamp.forcePortrait = false; }},
    {"-pos", Form::DecimalPair,
     [](CPdfStamp& j, const Match& m) {
         j.stamp.positionX = m.first;
         j.stamp.positionY = m.second;
     }},
    {"-flipv", Form::Exact, [](CPdfStamp& j, const Match&) { j.stamp.flipVertical = true; }},
    {"-fliph", Form::Exact, [](CPdfStamp& j, const Match&) { j.stamp.flipHorizontal = true; }},
    {"-align", Form::Value, [](CPdfStamp& j, const Match& m) { j.stamp.alignment = *m.value; }},
    {"-rename", Form::Value, [](CPdfStamp& j, const Match& m) { j.renamePattern = *m.value; }},
    // PDF's opacity runs from 0 to 1: percentages outside 0 to 100 are clamped.
    {"-opacity", Form::Decimal,
     [](CPdfStamp& j, const Match& m) { j.stamp.opacity = std::clamp(m.first, 0, 100); }},
    {"-textfile", Form::Value, [](CPdfStamp& j, const Match& m) { j.textLinesFile = *m.value; }},
    {"-linespace", Form::Decimal, [](CPdfStamp& j, const Match& m) { j.lineSpacing = m.first; }},
    {"-quiet", Form::Exact, [](CPdfStamp& j, const Match&) { j.quiet = true; }},
    {"-incremental", Form::Exact, [](CPdfStamp& j, const Match&) { j.incremental = true; }},
    {"-password", Form::Value, [](CPdfStamp& j, const Match& m) { j.password = *m.value; }},
    {"-ignorepermissions", Form::Exact,
     [](CPdfStamp& j, const Match&) { j.ignorePermissions = true; }},
};

// Whether argument matches option (value options are matched by the caller's exact test).
bool matches(const Option& option, std::string_view argument, Match& match) {
    std::string_view text = option.text;
    if (option.form == Form::Exact || option.form == Form::Value) {
        return argument == text;
    }
    if (argument.substr(0, text.size()) != text) {
        return false;
    }
    size_t pos = text.size();
    switch (option.form) {
    case Form::Decimal:
        return scanDecimal(argument, pos, match.first);
    case Form::Hex:
        return scanHex(argument, pos, match.hex);
    case Form::DecimalPair:
        if (!scanDecimal(argument, pos, match.first) || pos >= argument.size() ||
            argument[pos] != ',') {
            return false;
        }
        ++pos;
        return scanDecimal(argument, pos, match.second);
    default:
        return false;
    }
}

bool beginsWith(const std::string& text, std::string_view start) {
    return text.compare(0, start.size(), start) == 0;
}

} // namespace

bool isValueOption(std::string_view argument) {
    for (const Option& option : kOptions) {
        if (option.form == Form::Value && argument == option.text) {
            return true;
        }
    }
    return false;
}

bool isKnownOption(std::string_view argument) {
    for (const Option& option : kOptions) {
        Match match;
        if (matches(option, argument, match)) {
            return true;
        }
    }
    return false;
}

std::vector<std::string_view> optionWords() {
    std::vector<std::string_view> words;
    for (const Option& option : kOptions) {
        words.emplace_back(option.text);
    }
    return words;
}

int CPdfStamp::parseOptions(const std::vector<std::string>& args) {
    if (args.size() < 3) {
        throw CPdfException("Error parameter, less than 3 arguments.\n");
    }
    if (!beginsWith(args[1], "-i")) {
        throw CPdfException("-i parameter missing");
    }
    inputName = args[1].substr(2);
    if (!beginsWith(args[2], "-o")) {
        throw CPdfException("-o parameter missing");
    }
    outputName = args[2].substr(2);

    for (size_t index = 3; index < args.size(); ++index) {
        const std::string& argument = args[index];
        if (!beginsWith(argument, "-")) {
            throw CPdfException("Error parameter, no -, arg: " + argument +
                                ", argument: " + std::to_string(index) + "\n");
        }
        for (const Option& option : kOptions) {
            Match match;
            if (!matches(option, argument, match)) {
                continue;
            }
            if (option.form == Form::Value) {
                if (index + 1 >= args.size()) {
                    throw CPdfException("Error parameter, missing value after: " + argument + "\n");
                }
                match.value = &args[++index];
            }
            option.apply(*this, match);
            break;
        }
    }
    return 1;
}
