#pragma once

#include "stamp/pass/Reporter.h"

#include <string>

class CPdfException;

// The console's side of a stamp job: notes and progress dots on standard output as they come,
// warnings as lines on standard error once standard output is flushed, so that a console that
// shows both keeps their order. The warnings are kept for the production log as well.
class ConsoleReporter : public Reporter {
  public:
    void note(std::string_view text) override;
    void progress() override;
    void warning(std::string_view line) override;

    // The job's warning lines so far, joined by "; ".
    const std::string& warnings() const { return warnings_; }

    // The cause of a failure as one line, as standard error shows it: the exception's cause,
    // or its message when it has none (a parameter error), line ends made blanks.
    static std::string causeLine(const CPdfException& failure);
    // Shows a failure: its message on standard output, then its cause line with hint added on
    // standard error.
    static void printFailure(const CPdfException& failure, const std::string& hint);
    // One line on standard error, after what standard output holds so far; line ends inside it
    // become blanks and trailing blanks go.
    static void printCause(const std::string& cause);

  private:
    std::string warnings_;
};
