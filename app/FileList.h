#pragma once

#include "app/ListLine.h"

class ProductionLog;

#include <string>
#include <vector>

// Results of runFileList.
inline constexpr int kNotAList = 0;      // a single run follows
inline constexpr int kListRefused = 1;   // refused with a message
inline constexpr int kListProcessed = 2; // every line ran
// Every line ran, but a line reported a failure that does not stop the list (a text-lines file
// that could not be opened, or with -keepgoing a line that failed).
inline constexpr int kListProcessedWithFailures = 3;

// Runs one stamp job per line of the list file listName (argument 1 without its "-i"), writing
// into the folder of argument 2 ("-f<folder>"). args is the whole command line; each line runs
// it with arguments 1 and 2 replaced and, with a list delimiter, the line's text as prefix.
// Every line's document gets its row in the log. A failing line throws CPdfException and ends
// the list; with options.keepGoing it is shown and the list goes on, and a summary line ends
// the list. A log that cannot be written throws and ends the list in either case, and so does
// an output folder that cannot be made. listName may name a folder: its PDF files are then the
// list's lines (see folder_input).
int runFileList(const std::string& listName, std::vector<std::string> args,
                const ListOptions& options, const ProductionLog& log);
