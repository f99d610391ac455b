#include "app/OptionTable.h"

#include "app/Placeholders.h"
#include "pdf/CPdfException.h"
#include "stamp/files/NumberScan.h"
#include "stamp/pass/CPdfStamp.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <iterator>
#include <optional>

namespace {

using Form = OptionTable::Form;
using ValueKind = OptionTable::ValueKind;
using Match = OptionTable::Match;
using PreScan = OptionTable::PreScan;

// A picture's size: a percentage or a number of points, which has to be above 0.
int32_t pictureMeasure(const char* option, int32_t value) {
    if (value <= 0) {
        throw CPdfException(std::string(option) + " must be more than 0, not " +
                            std::to_string(value) + "\n");
    }
    return value;
}

// "file.pdf" or "file.pdf,N": digits alone after the last comma name the page (a larger
// number than any page is held at the largest).
void setOverlay(StampDefinition& stamp, const std::string& value) {
    stamp.overlayFile = value;
    stamp.overlayPage = 1;
    const size_t comma = value.rfind(',');
    if (comma == std::string::npos || comma + 1 == value.size() ||
        value.find_first_not_of("0123456789", comma + 1) != std::string::npos) {
        return;
    }
    int32_t page = INT32_MAX;
    std::from_chars(value.data() + comma + 1, value.data() + value.size(), page);
    stamp.overlayFile = value.substr(0, comma);
    stamp.overlayPage = page;
}

// -align's word in any letter case, "centre" as "center"; any other word acts as "right", and
// is said.
void setAlignment(CPdfStamp& job, const std::string& word) {
    std::string lower = word;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (lower == "centre") {
        lower = "center";
    }
    if (lower == "left" || lower == "center" || lower == "right") {
        job.stamp.alignment = lower;
        return;
    }
    job.stamp.alignment = word;
    job.reporter().warning("Warning: -align '" + word +
                           "' is not left, center, centre or right: the text is aligned right");
}

const OptionTable::Row kRows[] = {
    {"-s", Form::Decimal, ValueKind::None,
     [](CPdfStamp& j, const Match& m) { j.stamp.startPage = m.first; },
     nullptr},
    {"-e", Form::Decimal, ValueKind::None,
     [](CPdfStamp& j, const Match& m) { j.stamp.endPage = m.first; },
     nullptr},
    {"-ns", Form::Decimal, ValueKind::None,
     [](CPdfStamp& j, const Match& m) { j.stamp.startNumber = m.first; },
     nullptr},
    // The page number to end at: listed in the usage text, and sets nothing.
    {"-ne", Form::Decimal, ValueKind::None,
     nullptr,
     nullptr},
    // Listed in the usage text from the start; accepted, and sets nothing.
    {"-noincrement", Form::Exact, ValueKind::None,
     nullptr,
     nullptr},
    {"-m", Form::Decimal, ValueKind::None,
     [](CPdfStamp& j, const Match& m) { j.stamp.maskWidth = m.first; },
     nullptr},
    // Ends one stamp and starts the next from the defaults; the stamp options after it are its.
    {"-next", Form::Exact, ValueKind::None,
     [](CPdfStamp& j, const Match&) { j.startNextStamp(); },
     nullptr},
    {"-n", Form::Decimal, ValueKind::None,
     [](CPdfStamp& j, const Match& m) { j.stamp.nth = m.first; },
     nullptr},
    {"-seq", Form::Exact, ValueKind::None,
     [](CPdfStamp& j, const Match&) { j.stamp.sequential = true; },
     nullptr},
    {"-r", Form::Exact, ValueKind::None,
     [](CPdfStamp& j, const Match&) { j.stamp.reverse = true; },
     nullptr},
    {"-one", Form::Exact, ValueKind::None,
     [](CPdfStamp& j, const Match&) { j.stamp.numberOnly = true; },
     nullptr},
    {"-2up", Form::Exact, ValueKind::None,
     [](CPdfStamp& j, const Match&) { j.stamp.twoUp = true; },
     nullptr},
    {"-ab2", Form::Exact, ValueKind::None,
     [](CPdfStamp& j, const Match&) { j.stamp.abTwoUp = true; },
     nullptr},
    {"-rom", Form::Exact, ValueKind::None,
     [](CPdfStamp& j, const Match&) { j.stamp.lowerRoman = true; },
     nullptr},
    {"-ROM", Form::Exact, ValueKind::None,
     [](CPdfStamp& j, const Match&) { j.stamp.upperRoman = true; },
     nullptr},
    {"-export", Form::Value, ValueKind::File,
     [](CPdfStamp& j, const Match& m) { j.exportFile = *m.value; },
     nullptr},
    {"-import", Form::Value, ValueKind::File,
     [](CPdfStamp& j, const Match& m) { j.importFile = *m.value; },
     nullptr},
    // List settings: read by the pre-scan, which the list runner takes them from.
    {"-listdelim", Form::Value, ValueKind::Text,
     nullptr,
     [](PreScan& s, const std::string& v) { s.list.delimiter = v; }},
    {"-listsep", Form::Value, ValueKind::Text,
     nullptr,
     [](PreScan& s, const std::string& v) { s.list.separator = v; }},
    {"-listusecol", Form::Value, ValueKind::Text,
     nullptr,
     [](PreScan& s, const std::string& v) { s.list.columns = v; }},
    {"-liststartcol", Form::Value, ValueKind::Text,
     nullptr,
     [](PreScan& s, const std::string& v) {
         // A column from 1 on; anything else is kept as -1, which the list runner refuses.
         const std::optional<int32_t> column = list_line::parseStartNumber(v);
         s.list.startColumn = column && *column > 0 ? *column : -1;
     }},
    {"-pagesize", Form::Value, ValueKind::Text,
     [](CPdfStamp& j, const Match& m) { j.stamp.pageSizeText = *m.value; },
     nullptr},
    {"-nopg", Form::Exact, ValueKind::None,
     [](CPdfStamp& j, const Match&) { j.stamp.noPageNumbers = true; },
     nullptr},
    {"-removesourcefile", Form::Exact, ValueKind::None,
     [](CPdfStamp& j, const Match&) { j.removeSource = true; },
     nullptr},
    {"-prefix", Form::Value, ValueKind::Text,
     [](CPdfStamp& j, const Match& m) {
         j.stamp.prefixText = placeholders::expand(*m.value, j.inputName, &j.softFailure);
     },
     nullptr},
    {"-sep", Form::Value, ValueKind::Text,
     [](CPdfStamp& j, const Match& m) { j.stamp.separatorText = *m.value; },
     nullptr},
    {"-end", Form::Value, ValueKind::Text,
     [](CPdfStamp& j, const Match& m) {
         j.stamp.endText = placeholders::expand(*m.value, j.inputName, &j.softFailure);
     },
     nullptr},
    {"-font", Form::Value, ValueKind::Text,
     [](CPdfStamp& j, const Match& m) { j.stamp.fontName = *m.value; },
     nullptr},
    {"-embedfont", Form::Value, ValueKind::File,
     [](CPdfStamp& j, const Match& m) { j.stamp.embedFontFile = *m.value; },
     nullptr},
    {"-fontfile", Form::Value, ValueKind::File,
     [](CPdfStamp& j, const Match& m) { j.stamp.fontMetricsFile = *m.value; },
     nullptr},
    {"-color", Form::Hex, ValueKind::None,
     [](CPdfStamp& j, const Match& m) { j.stamp.rgbColor = m.hex; },
     nullptr},
    {"-CMYKcolor", Form::Hex, ValueKind::None,
     [](CPdfStamp& j, const Match& m) { j.stamp.cmykColor = m.hex; },
     nullptr},
    {"-box", Form::Hex, ValueKind::None,
     [](CPdfStamp& j, const Match& m) {
         j.stamp.boxColor = m.hex;
         j.stamp.boxSet = true;
     },
     nullptr},
    {"-size", Form::Decimal, ValueKind::None,
     [](CPdfStamp& j, const Match& m) { j.stamp.baseSize = m.first; },
     nullptr},
    {"-sizefile", Form::Value, ValueKind::File,
     [](CPdfStamp& j, const Match& m) { j.stamp.fontSizesFile = *m.value; },
     nullptr},
    {"-angle", Form::Decimal, ValueKind::None,
     [](CPdfStamp& j, const Match& m) { j.stamp.angle = m.first; },
     nullptr},
    {"-under", Form::Exact, ValueKind::None,
     [](CPdfStamp& j, const Match&) { j.stamp.under = true; },
     nullptr},
    {"-noforce", Form::Exact, ValueKind::None,
     [](CPdfStamp& j, const Match&) { j.stamp.forcePortrait = false; },
     nullptr},
    {"-pos", Form::DecimalPair, ValueKind::None,
     [](CPdfStamp& j, const Match& m) {
         j.stamp.positionX = m.first;
         j.stamp.positionY = m.second;
     },
     nullptr},
    {"-flipv", Form::Exact, ValueKind::None,
     [](CPdfStamp& j, const Match&) { j.stamp.flipVertical = true; },
     nullptr},
    {"-fliph", Form::Exact, ValueKind::None,
     [](CPdfStamp& j, const Match&) { j.stamp.flipHorizontal = true; },
     nullptr},
    {"-align", Form::Value, ValueKind::Text,
     [](CPdfStamp& j, const Match& m) { setAlignment(j, *m.value); },
     nullptr},
    {"-rename", Form::Value, ValueKind::File,
     [](CPdfStamp& j, const Match& m) { j.renamePattern = *m.value; },
     nullptr},
    // A picture instead of the text: an image file drawn at its own size, scaled or fitted.
    {"-image", Form::Value, ValueKind::File,
     [](CPdfStamp& j, const Match& m) { j.stamp.imageFile = *m.value; },
     nullptr},
    // A page of another PDF instead of the text: "file.pdf" or "file.pdf,N", at its box's size.
    {"-overlay", Form::Value, ValueKind::File,
     [](CPdfStamp& j, const Match& m) { setOverlay(j.stamp, *m.value); },
     nullptr},
    {"-scale", Form::Decimal, ValueKind::None,
     [](CPdfStamp& j, const Match& m) { j.stamp.pictureScale = pictureMeasure("-scale", m.first); },
     nullptr},
    {"-width", Form::Decimal, ValueKind::None,
     [](CPdfStamp& j, const Match& m) { j.stamp.pictureWidth = pictureMeasure("-width", m.first); },
     nullptr},
    {"-height", Form::Decimal, ValueKind::None,
     [](CPdfStamp& j, const Match& m) {
         j.stamp.pictureHeight = pictureMeasure("-height", m.first);
     },
     nullptr},
    // PDF's opacity runs from 0 to 1: percentages outside 0 to 100 are clamped.
    {"-opacity", Form::Decimal, ValueKind::None,
     [](CPdfStamp& j, const Match& m) { j.stamp.opacity = std::clamp(m.first, 0, 100); },
     nullptr},
    {"-textfile", Form::Value, ValueKind::File,
     [](CPdfStamp& j, const Match& m) { j.textLinesFile = *m.value; },
     nullptr},
    {"-linespace", Form::Decimal, ValueKind::None,
     [](CPdfStamp& j, const Match& m) { j.lineSpacing = m.first; },
     nullptr},
    {"-quiet", Form::Exact, ValueKind::None,
     [](CPdfStamp& j, const Match&) { j.quiet = true; },
     [](PreScan& s, const std::string&) { s.quiet = true; }},
    {"-incremental", Form::Exact, ValueKind::None,
     [](CPdfStamp& j, const Match&) { j.incremental = true; },
     nullptr},
    {"-password", Form::Value, ValueKind::Text,
     [](CPdfStamp& j, const Match& m) { j.password = *m.value; },
     nullptr},
    {"-ignorepermissions", Form::Exact, ValueKind::None,
     [](CPdfStamp& j, const Match&) { j.ignorePermissions = true; },
     nullptr},
    // Run settings of the entry point and the list runner, read by the pre-scan.
    {"-log", Form::Value, ValueKind::File,
     nullptr,
     [](PreScan& s, const std::string& v) { s.logFile = v; }},
    {"-keepgoing", Form::Exact, ValueKind::None,
     nullptr,
     [](PreScan& s, const std::string&) { s.list.keepGoing = true; }},
    {"-plan", Form::Value, ValueKind::File,
     nullptr,
     [](PreScan& s, const std::string& v) { s.list.planFile = v; }},
};

// Whether argument matches the row (value options by their word alone).
bool matches(const OptionTable::Row& row, std::string_view argument, Match& match) {
    const std::string_view word = row.word;
    if (row.form == Form::Exact || row.form == Form::Value) {
        return argument == word;
    }
    if (argument.substr(0, word.size()) != word) {
        return false;
    }
    size_t pos = word.size();
    switch (row.form) {
    case Form::Decimal:
        return number_scan::scanDecimal(argument, pos, match.first);
    case Form::Hex:
        return number_scan::scanHex(argument, pos, match.hex);
    case Form::DecimalPair:
        if (!number_scan::scanDecimal(argument, pos, match.first) || pos >= argument.size() ||
            argument[pos] != ',') {
            return false;
        }
        ++pos;
        return number_scan::scanDecimal(argument, pos, match.second);
    default:
        return false;
    }
}

} // namespace

std::span<const OptionTable::Row> OptionTable::rows() {
    return kRows;
}

const OptionTable::Row* OptionTable::find(std::string_view argument, Match& match) {
    for (const Row& row : kRows) {
        match = Match{};
        if (matches(row, argument, match)) {
            return &row;
        }
    }
    return nullptr;
}

bool OptionTable::isValueOption(std::string_view argument) {
    return std::any_of(std::begin(kRows), std::end(kRows), [argument](const Row& row) {
        return row.form == Form::Value && argument == row.word;
    });
}

bool OptionTable::isKnownOption(std::string_view argument) {
    Match match;
    return find(argument, match) != nullptr;
}

bool OptionTable::takesAttachedValue(std::string_view argument) {
    return std::any_of(std::begin(kRows), std::end(kRows), [argument](const Row& row) {
        return row.form != Form::Exact && row.form != Form::Value && argument == row.word;
    });
}

bool OptionTable::looksLikeValue(std::string_view next) {
    return next.size() < 2 || next[0] != '-' || (next[1] >= '0' && next[1] <= '9');
}

std::string_view OptionTable::placeholderOf(std::string_view word) {
    for (const Row& row : kRows) {
        if (word == row.word) {
            return row.form == Form::Hex           ? "<hex>"
                   : row.form == Form::DecimalPair ? "<n>,<n>"
                                                   : "<n>";
        }
    }
    return "<n>";
}

std::string OptionTable::detachedValueRefusal(const std::vector<std::string>& args, size_t index,
                                              std::string_view what, std::string_view placeholder) {
    const std::string word = args[index];
    if (index + 1 < args.size() && looksLikeValue(args[index + 1])) {
        return word + " takes its value attached: " + word + args[index + 1] + "\n";
    }
    return word + " needs its " + std::string(what) + " attached: " + word +
           std::string(placeholder) + "\n";
}

std::vector<std::string_view> OptionTable::words() {
    std::vector<std::string_view> words;
    for (const Row& row : kRows) {
        words.emplace_back(row.word);
    }
    return words;
}

OptionTable::PreScan OptionTable::preScan(const std::vector<std::string>& args) {
    PreScan scan;
    for (size_t i = 1; i < args.size(); ++i) {
        for (const Row& row : kRows) {
            if (row.preScan == nullptr || args[i] != row.word) {
                continue;
            }
            if (row.form != Form::Value) {
                row.preScan(scan, args[i]);
            } else if (i + 1 < args.size()) {
                row.preScan(scan, args[i + 1]);
            }
        }
    }
    return scan;
}
