#pragma once

#include "stamp/pass/CReporter.h"

#include <string>
#include <vector>

// Keeps what a stamp job reports: notes and progress dots as the console would show them, and
// the warning lines apart.
class RecordingReporter : public CReporter {
  public:
    void note(std::string_view text) override { notes.append(text); }
    void progress() override { notes += '.'; }
    void warning(std::string_view line) override { warnings.emplace_back(line); }

    std::string notes;
    std::vector<std::string> warnings;
};
