#pragma once

#include "stamp/pass/CReporter.h"
#include "stamp/pass/PassResult.h"
#include "stamp/pass/RunSettings.h"
#include "stamp/pass/StampDefinition.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CEmbeddedFont;
struct PassNumbers;

// One stamp job: the settings of a run (its files, how the output is written, the steps after
// it) and the definition of its stamp, each with its default. The front end fills the settings
// and runs the steps around the passes (app/RunSteps); each pass (CPdfStampPass) reads the
// settings and keeps what it finds to itself.
class CPdfStamp : public RunSettings {
  public:
    CPdfStamp();
    virtual ~CPdfStamp();
    CPdfStamp(const CPdfStamp&) = delete;
    CPdfStamp& operator=(const CPdfStamp&) = delete;

    // --- command line (app/) ---
    // Fills the settings from the arguments (args[0] is the program name); throws CPdfException.
    int parseOptions(const std::vector<std::string>& args);
    // Parses the options and stamps one input/output pair, or one pass per text line, with the
    // steps around the passes. Returns what was done; its output is empty when nothing was put
    // in place (a failure after which the run goes on).
    PassResult runPair(const std::vector<std::string>& args);

    // --- the run ---
    // Called once a pass's output is written and before it is put in place, with its numbers.
    using BeforePlacing = std::function<void(const PassNumbers&)>;
    // One pass: the output written and put in place. What beforePlacing throws stops the pass
    // with the output left out. Returns what the pass did (its output name empty: the run's
    // steps name the output). A failure is thrown as "Stamp file issue" with its cause.
    PassResult stampDocument(const BeforePlacing& beforePlacing = nullptr);
    // The input read as a pass reads it, with no output made: the result's page count, update
    // and repair. A failure is thrown as "Stamp file issue" with the cause a pass would give.
    PassResult readDocument();
    // Runs step; a failure runs cleanup (when given) and is thrown as "Stamp file issue" with
    // its cause, as a failed pass is.
    void runGuarded(const std::function<void()>& step,
                    const std::function<void()>& cleanup = nullptr) const;
    // Ends the run with status 1 without an exception (a list goes on): the cause goes to the
    // reporter as a warning.
    void failSoftly(const std::string& cause);
    // The rows of the font sizes file (stamp.fontSizesFile); none, and the run fails softly,
    // when it cannot be read.
    SizeTable loadFontSizes(const StampDefinition& sizesOf);
    // The note (unless quiet) that a signed input is stamped as an update.
    void reportSignedInput() const;
    // Where the job's notes, progress and warnings go; none are kept unless a reporter is set.
    void setReporter(CReporter& reporter) { reporter_ = &reporter; }
    CReporter& reporter() const { return *reporter_; }

    // ---------------------------------------------------------------- the stamps
    // The first stamp: the numbered series that the counter, -export, the rename and the
    // results follow. While the options are parsed it is the stamp they apply to.
    StampDefinition stamp;
    // The stamps that -next started, drawn in the same pass after the first, in order.
    std::vector<StampDefinition> moreStamps;
    // -next: ends the stamp the options apply to and starts another from the defaults.
    void startNextStamp();
    // Throws for what several stamps cannot do together: a text-lines run, a second embedded
    // font, a second fonts file.
    void refuseMoreStamps() const;

    // Called with each name the run is about to put an output under (the output name, then the
    // -rename name), before anything is put there; what it throws refuses the output. A list
    // sets it to refuse a name an earlier line wrote.
    std::function<void(const std::string& name)> refuseOutputName;

    // Set when the run goes on after a printed failure (a sizes file or file dates that cannot
    // be read) or a pass ended with its output written but a later step failed (a rename): the
    // run did not do all that was asked, so the process ends with status 1.
    bool softFailure = false;

  private:
    static CReporter silent_;
    CReporter* reporter_ = &silent_;

    // -embedfont: the font of the run, lent to each pass.
    std::unique_ptr<CEmbeddedFont> embeddedFont_;
    // The resource names the job's passes drew (a text-lines run has several passes).
    std::set<std::string> resourceNames_;
};
