#pragma once

#include "pdf/CPdfException.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class ProductionLog;

// One input document stamped by a job of its own, the console its reporter, and its row
// appended to the production log once it is finished, whether it was stamped or failed.
struct DocumentRun {
    // The job's failure (nothing was put in place); the caller shows it or ends the run with it.
    std::optional<CPdfException> failure;
    // The job went on after a failure (a rename, a sizes file): the run ends with status 1.
    bool softFailure = false;
    // Nothing was put in place, with or without an exception: the document failed.
    bool failed = false;
    bool quiet = false;
    // The output's final name; empty when nothing was put in place.
    std::string output;

    // Runs args as CPdfStamp::runPair takes them. A failure of the log itself is thrown: it ends
    // the run.
    // refuseOutputName, when given, is the job's (see CPdfStamp::refuseOutputName).
    // warning, when given, is shown and logged as the document's first warning.
    static DocumentRun run(const std::vector<std::string>& args, const ProductionLog& log,
                           const std::function<void(const std::string&)>& refuseOutputName = {},
                           const std::string& warning = std::string());
};
