#include "app/DocumentRun.h"

#include "app/ConsoleReporter.h"
#include "app/ProductionLog.h"
#include "stamp/pass/CPdfStamp.h"

DocumentRun DocumentRun::run(const std::vector<std::string>& args, const ProductionLog& log,
                             const std::function<void(const std::string&)>& refuseOutputName,
                             const std::string& warning) {
    DocumentRun outcome;
    ConsoleReporter console;
    CPdfStamp job;
    job.setReporter(console);
    job.refuseOutputName = refuseOutputName;
    ProductionLog::Row row;
    if (!warning.empty()) {
        console.warning(warning);
    }
    try {
        row.pass = job.runPair(args);
        row.output = row.pass.output;
        row.stamped = !row.output.empty();
        row.cause = console.warnings();
    } catch (const CPdfException& failure) {
        // The log's row names the input already; the console's cause line names it too.
        outcome.failure = ConsoleReporter::namingFile(failure, job.inputNameShown());
        // The warnings said before the failure stay in the row, before its cause.
        row.cause = console.warnings().empty()
                        ? ConsoleReporter::causeLine(failure)
                        : console.warnings() + "; " + ConsoleReporter::causeLine(failure);
    }
    outcome.softFailure = job.softFailure;
    outcome.failed = !row.stamped;
    outcome.output = row.output;
    outcome.quiet = job.quiet;
    if (log.enabled()) {
        const std::string& first = args.size() > 1 ? args[1] : std::string();
        row.input = first.rfind("-i", 0) == 0 ? first.substr(2) : job.inputName;
        log.append(row);
    }
    return outcome;
}
