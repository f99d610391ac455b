#pragma once

#include "stamp/pass/Reporter.h"

// The console's side of a stamp job: notes and progress dots on standard output as they come,
// warnings as lines on standard error once standard output is flushed, so that a console that
// shows both keeps their order.
class ConsoleReporter : public Reporter {
  public:
    void note(std::string_view text) override;
    void progress() override;
    void warning(std::string_view line) override;
};
