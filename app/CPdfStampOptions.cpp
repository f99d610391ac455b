#include "stamp/pass/CPdfStamp.h"

#include "app/OptionTable.h"
#include "pdf/CPdfException.h"

#include <string_view>

namespace {

bool beginsWith(const std::string& text, std::string_view start) {
    return text.compare(0, start.size(), start) == 0;
}

} // namespace

void CPdfStamp::refuseMoreStamps() const {
    if (!textLinesFile.empty()) {
        throw CPdfException("-textfile cannot be used with -next: a text file's lines are one "
                            "stamp each already\n");
    }
    const std::string* embedFont = stamp.embedFontFile.empty() ? nullptr : &stamp.embedFontFile;
    const std::string* fontsFile = stamp.fontMetricsFile.empty() ? nullptr : &stamp.fontMetricsFile;
    for (const StampDefinition& more : moreStamps) {
        if (!more.embedFontFile.empty()) {
            if (embedFont != nullptr) {
                throw CPdfException("-embedfont can be given for one stamp of a run only\n");
            }
            embedFont = &more.embedFontFile;
        }
        if (!more.fontMetricsFile.empty()) {
            if (fontsFile != nullptr && *fontsFile != more.fontMetricsFile) {
                throw CPdfException("-fontfile can name one fonts file for a run only\n");
            }
            fontsFile = &more.fontMetricsFile;
        }
    }
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

    // A -next that no option of its own follows would add a stamp of all defaults.
    bool stampWithoutOptions = false;
    const auto refuseEmptyStamp = [&stampWithoutOptions] {
        if (stampWithoutOptions) {
            throw CPdfException("-next must be followed by the options of another stamp\n");
        }
    };
    for (size_t index = 3; index < args.size(); ++index) {
        const std::string& argument = args[index];
        if (!beginsWith(argument, "-")) {
            throw CPdfException("Error parameter, no -, arg: " + argument +
                                ", argument: " + std::to_string(index) + "\n");
        }
        OptionTable::Match match;
        const OptionTable::Row* row = OptionTable::find(argument, match);
        if (row == nullptr) {
            continue;
        }
        if (row->form == OptionTable::Form::Value) {
            if (index + 1 >= args.size()) {
                throw CPdfException("Error parameter, missing value after: " + argument + "\n");
            }
            match.value = &args[++index];
        }
        const bool next = std::string_view(row->word) == "-next";
        if (next) {
            refuseEmptyStamp();
        }
        stampWithoutOptions = next;
        if (row->apply != nullptr) {
            row->apply(*this, match);
        }
    }
    refuseEmptyStamp();
    if (!moreStamps.empty()) {
        // The options of the last stamp are parsed: the first stamp becomes `stamp` again and
        // the others follow it in order.
        moreStamps.push_back(std::move(stamp));
        stamp = std::move(moreStamps.front());
        moreStamps.erase(moreStamps.begin());
        refuseMoreStamps();
    }
    return 1;
}
