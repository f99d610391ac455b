#include "stamp/pass/CPdfStamp.h"

#include "app/OptionTable.h"
#include "pdf/CPdfException.h"

namespace {

bool beginsWith(const std::string& text, std::string_view start) {
    return text.compare(0, start.size(), start) == 0;
}

} // namespace

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
        if (row->apply != nullptr) {
            row->apply(*this, match);
        }
    }
    return 1;
}
