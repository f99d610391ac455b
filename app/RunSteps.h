#pragma once

#include "stamp/pass/CPdfStampPass.h"
#include "stamp/pass/PassResult.h"

#include <cstdint>
#include <string>

class CPdfStamp;

// The steps of a run around the passes of its job: the refusals before the output is put in
// place, then the -rename, the -export counter and the source's removal (-removesourcefile)
// once it is. The counter is written to a temporary file beside the counter file before the
// output is put in place, and moved under its name after; the temporary file is removed when
// the run fails before that.
class RunSteps {
  public:
    explicit RunSteps(CPdfStamp& job);
    ~RunSteps();
    RunSteps(const RunSteps&) = delete;
    RunSteps& operator=(const RunSteps&) = delete;

    // One pass of the job with the steps around it: the output written and in place, then the
    // rename, the counter and the source's removal. Returns what the pass did, its output the
    // output's final name. A failure is thrown as "Stamp file issue" with its cause.
    PassResult stampDocument();
    // One pass whose output is an intermediate file of the run: the steps after it wait for
    // finishRun. Throws as stampDocument does.
    PassResult stampIntermediate();
    // The checks and preparations due before the run's output is put in place: a -rename target
    // that denotes the input file is refused (after printing why), and the -export counter is
    // written to its temporary file. Throws as a pass does.
    void prepareFinalSteps();
    // The steps after the last pass, once the run's output is in place under the job's output
    // name. Returns the output's name after them (renamed, when it was). Throws as a pass does.
    std::string finishRun();

    // Throws (after reporting why) when the output name denotes the input file, which writing
    // would destroy while it is read.
    void refuseOutputOverInput() const;

  private:
    CPdfStamp& job_;

    // The checks and the counter due before the output is put in place, for the pass's numbers.
    void prepareRunEnd(const PassNumbers& numbers);
    void refuseRenameOverInput() const;
    void prepareCounter();
    void placeCounter();
    void dropCounter();
    void runFinalSteps();
    void removeSourceFile();
    std::string renameTarget() const;
    // Renames the output by the -rename pattern; result is its new name. False, with the
    // output left under its name, when the rename failed.
    bool renameOutput(std::string& result);

    // The numbers of the last pass, which the rename and the counter go by.
    PassNumbers numbers_;
    std::string counterTemp_; // the next counter, written beside the counter file
    // The output's name after the run's last steps: renamed, when it was.
    std::string finalOutput_;
};
