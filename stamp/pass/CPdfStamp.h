#pragma once

#include "stamp/pass/PassResult.h"
#include "stamp/pass/Reporter.h"
#include "stamp/pass/RunSettings.h"
#include "stamp/pass/StampDefinition.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CPdfStampPass;
class EmbeddedFont;
struct PassNumbers;

// One stamp job: the settings of a run (its files, how the output is written, the steps after
// it) and the definition of its stamp, each with its default. The front end fills the settings;
// each pass (CPdfStampPass) reads them and keeps what it finds to itself. The job runs the
// steps around its passes: the refusals, the rename, the -export counter and the source's
// removal.
class CPdfStamp : public RunSettings {
  public:
    CPdfStamp();
    virtual ~CPdfStamp();
    CPdfStamp(const CPdfStamp&) = delete;
    CPdfStamp& operator=(const CPdfStamp&) = delete;

    // --- command line (app/) ---
    // Fills the settings from the arguments (args[0] is the program name); throws CPdfException.
    int parseOptions(const std::vector<std::string>& args);
    // Parses the options and stamps one input/output pair, or one pass per text line. Returns
    // what was done; its output is empty when nothing was put in place (a failure after which
    // the run goes on).
    PassResult runPair(const std::vector<std::string>& args);

    // --- the run ---
    // One pass: the output written and in place, then (unless intermediatePass is set) the
    // rename, the -export counter and the source's removal. Returns what the pass did. A
    // failure is thrown as "Stamp file issue" with its cause.
    PassResult stampDocument();
    // The steps after the last pass of a run whose passes were intermediate: the rename, the
    // counter and the source's removal, for inputName and outputName. Throws as a pass does.
    // Returns the output's name after them (renamed, when it was).
    std::string finishRun();
    // The checks and preparations due before the output is put in place: a -rename target that
    // denotes the input file is refused (after printing why), and the -export counter is written
    // to a temporary file that finishRun moves under its name. Throws as a pass does.
    void prepareFinalSteps();
    // Ends the run with status 1 without an exception (a list goes on): the cause goes to the
    // reporter as a warning.
    void failSoftly(const std::string& cause);
    // Throws (after reporting why) when the output name denotes the input file, which writing
    // would destroy while it is read.
    void refuseOutputOverInput() const;
    // The rows of the font sizes file (stamp.fontSizesFile); none, and the run fails softly,
    // when it cannot be read.
    SizeTable loadFontSizes(const StampDefinition& sizesOf);
    // The note (unless quiet) that a signed input is stamped as an update.
    void reportSignedInput() const;
    // Where the job's notes, progress and warnings go; none are kept unless a reporter is set.
    void setReporter(Reporter& reporter) { reporter_ = &reporter; }
    Reporter& reporter() const { return *reporter_; }

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

    // Set when the run goes on after a printed failure (a sizes file or file dates that cannot
    // be read) or a pass ended with its output written but a later step failed (a rename): the
    // run did not do all that was asked, so the process ends with status 1.
    bool softFailure = false;
    // Set for the passes of a text-lines run: their outputs are intermediate files, and the
    // steps after the output is in place wait for the last pass.
    bool intermediatePass = false;

  private:
    static Reporter silent_;
    Reporter* reporter_ = &silent_;

    // Runs a step; a failure closes the pass (when one is given) and is thrown as
    // "Stamp file issue" with its cause.
    template <class Step> void runGuarded(Step step, CPdfStampPass* pass);
    void prepareRunEnd();
    void prepareCounter();
    void placeCounter();
    void refuseRenameOverInput() const;
    void runFinalSteps();
    void removeSourceFile();
    std::string renameTarget() const;
    // Renames the output by the -rename pattern; result is its new name. False, with the
    // output left under its name, when the rename failed.
    bool renameOutput(std::string& result);

    // The numbers of the last pass, which the rename and the counter go by.
    int32_t firstNumber_ = 1;
    int32_t highestShown_ = 0;
    std::string counterTemp_; // the next counter, written beside the counter file
    // The output's name after the run's last steps: renamed, when it was.
    std::string finalOutput_;
    // -embedfont: the font of the run, lent to each pass.
    std::unique_ptr<EmbeddedFont> embeddedFont_;
};
