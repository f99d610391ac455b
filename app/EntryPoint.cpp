#include "app/EntryPoint.h"

#include "app/ConsoleReporter.h"
#include "app/DocumentRun.h"
#include "app/FileList.h"
#include "app/OptionTable.h"
#include "app/ProductionLog.h"
#include "app/Usage.h"
#include "pdf/CPdfException.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr const char* kWildcardMessage =
    "\nError! Wildcards * are not permitted, if you want to process many files then do: dir /B "
    "*.pdf > list.txt, then quillmark -ilist.txt -fc:\\test\n\n";

// Options the parser passes over: misspelt, or in the wrong letter case ("-flipH"). They are
// still ignored, as they always were, but said on standard error, once for the run.
void warnUnknownOptions(const std::vector<std::string>& args) {
    for (size_t i = 3; i < args.size(); ++i) {
        const std::string& argument = args[i];
        if (OptionTable::isValueOption(argument)) {
            ++i;
            continue;
        }
        if (argument.size() < 2 || argument[0] != '-' || OptionTable::isKnownOption(argument) ||
            OptionTable::takesAttachedValue(argument)) {
            continue;
        }
        std::fflush(stdout);
        std::fprintf(stderr, "Warning: unknown option '%s' ignored; options are case-sensitive\n",
                     argument.c_str());
    }
}

// On Windows a quoted argument that ends in a backslash ("-fC:\out folder\") ends in a double
// quote instead: the backslash makes the closing quote part of the argument.
std::string quoteHint(const std::vector<std::string>& args) {
    for (size_t i = 1; i < args.size(); ++i) {
        if (!args[i].empty() && args[i].back() == '"') {
            return " (the argument '" + args[i] +
                   "' ends in a double quote: a quoted folder ending in \\\" keeps the quote on "
                   "Windows, leave out the final backslash)";
        }
    }
    return "";
}

// A "*" in any argument, values included: the shell of Windows does not expand it.
bool hasWildcard(const std::vector<std::string>& args) {
    return std::any_of(args.begin() + 1, args.end(), [](const std::string& argument) {
        return argument.find('*') != std::string::npos;
    });
}

// Refuses an option given with its value as the next argument ("-size 14", "-i a.pdf"), which
// the parser would pass over as unknown and then misread what follows.
void refuseDetachedValues(const std::vector<std::string>& args) {
    if (args[1] == "-i") {
        throw CPdfException(
            OptionTable::detachedValueRefusal(args, 1, "input file name", "<file name>"));
    }
    if (args.size() > 2 && args[2] == "-o") {
        throw CPdfException(
            OptionTable::detachedValueRefusal(args, 2, "output file name", "<file name>"));
    }
    // "-f" alone with no value after it is the list's refusal.
    if (args.size() > 3 && args[2] == "-f" && OptionTable::looksLikeValue(args[3])) {
        throw CPdfException(OptionTable::detachedValueRefusal(args, 2, "folder", "<folder>"));
    }
    for (size_t i = 3; i < args.size(); ++i) {
        if (OptionTable::isValueOption(args[i])) {
            ++i;
        } else if (OptionTable::takesAttachedValue(args[i])) {
            throw CPdfException(OptionTable::detachedValueRefusal(
                args, i, "value", OptionTable::placeholderOf(args[i])));
        }
    }
}

// One document given an output folder (-i<file.pdf> -f<folder>) is written into the folder under
// its own name: the arguments with "-f<folder>" turned into that output name. Any other
// arguments are returned as they are.
std::vector<std::string> intoFolder(std::vector<std::string> args) {
    const std::string input = args[1].substr(2);
    if (args.size() < 3 || args[2].rfind("-f", 0) != 0 || args[2].size() == 2 || input == "-") {
        return args;
    }
    const std::string name = input.substr(platform::fileNameStart(input));
    if (!name.empty()) {
        args[2] = "-o" + platform::joinPath(args[2].substr(2), name);
    }
    return args;
}

// A list file or one input/output pair, each document logged when a log is given. Throws what
// the run throws.
int runCommandLine(const std::vector<std::string>& args, const OptionTable::PreScan& scan) {
    if (args[1].size() < 2) {
        throw CPdfException("-i parameter missing");
    }
    refuseDetachedValues(args);
    // Standard input has no name to give its output in a folder; refused before it is read.
    if (args[1] == "-i-" && args.size() > 2 && args[2].rfind("-f", 0) == 0) {
        throw CPdfException("-f cannot be used with -i-: standard input has no name to give a "
                            "file in a folder; give -o<file> or -o-\n");
    }
    warnUnknownOptions(args);
    // A plan stamps nothing, so it logs nothing.
    const ProductionLog log(scan.list.planFile.empty() ? scan.logFile : std::string());
    if (log.enabled()) {
        log.start();
    }
    int listResult = runFileList(args[1].substr(2), args, scan.list, log);
    if (listResult != kNotAList) {
        return listResult == kListProcessed ? 0 : 1;
    }
    if (!scan.list.planFile.empty()) {
        throw CPdfException("-plan needs a list of files as its input: -i<list.txt> or "
                            "-i<list.csv>\n");
    }
    DocumentRun document = DocumentRun::run(intoFolder(args), log);
    if (document.failure) {
        throw *document.failure;
    }
    if (!document.quiet) {
        ConsoleReporter::print("\nDone.\n");
    }
    // A text-lines file that could not be opened, or a failed rename, ends the run without an
    // exception but without doing all that was asked.
    return document.softFailure ? 1 : 0;
}

} // namespace

int runQuillmark(const std::vector<std::string>& args) {
    if (args.size() <= 1) {
        printUsage();
        return 0;
    }
    OptionTable::PreScan scan;
    if (args.size() == 2) {
        const std::string& only = args[1];
        if (only == "--help" || only == "-h" || only == "-?" || only == "/?") {
            printUsage();
            return 0;
        }
        if (only == "--version") {
            printVersion();
            return 0;
        }
    } else {
        // -o-: standard output carries the document alone, and every console text of the run
        // goes to standard error.
        if (args[2] == "-o-") {
            if (platform::takeStandardOutput() == nullptr) {
                ConsoleReporter::printCause("Can't write the output to standard output: " +
                                            platform::lastErrorText());
                return 1;
            }
            ConsoleReporter::textGoesToStandardError();
        }
        if (hasWildcard(args)) {
            std::fputs(kWildcardMessage, stdout);
            ConsoleReporter::printCause("Wildcards are not permitted in the arguments");
            return 1;
        }
        scan = OptionTable::preScan(args);
    }
    if (!scan.quiet) {
        printBanner();
    }

    int status = 1;
    try {
        status = runCommandLine(args, scan);
    } catch (const CPdfException& failure) {
        ConsoleReporter::printFailure(failure, quoteHint(args));
        status = 1;
    } catch (...) {
        ConsoleReporter::printFailure(CPdfException("Unexpected exception"), std::string());
        status = 1;
    }
    std::fflush(stdout);
    return status;
}
