#pragma once

#include "stamp/pass/CReporter.h"

#include <set>
#include <string>

class CPdfException;

// The console's side of a stamp job: notes and progress dots on standard output as they come,
// warnings as lines on standard error once standard output is flushed, so that a console that
// shows both keeps their order. The warnings are kept for the production log as well; a warning
// line the run has shown already (the same text drawn in every file of a list) is shown once.
class ConsoleReporter : public CReporter {
  public:
    void note(std::string_view text) override;
    void progress() override;
    void warning(std::string_view line) override;

    // The job's warning lines so far, joined by "; ".
    const std::string& warnings() const { return warnings_; }

    // The cause of a failure as one line, as standard error shows it: the exception's cause,
    // or its message when it has none (a parameter error), line ends made blanks.
    static std::string causeLine(const CPdfException& failure);
    // Shows a failure: its message on standard output as lines of its own (a line a note left
    // open is ended first), then its cause line with hint added on standard error.
    static void printFailure(const CPdfException& failure, const std::string& hint);
    // The failure of a document with the file's name at the start of its cause, unless the
    // cause names it already; a failure without a cause (a parameter error) is as it was.
    static CPdfException namingFile(const CPdfException& failure, const std::string& file);
    // Text of the run itself on standard output ("Done."), as a note is shown.
    static void print(std::string_view text);
    // One line on standard error, after what standard output holds so far; line ends inside it
    // become blanks and trailing blanks go.
    static void printCause(const std::string& cause);
    // Standard output was pointed at standard error (-o-): a failure without a cause of its own
    // is then shown once, not as its message and again as its cause line.
    static void textGoesToStandardError() { oneStream_ = true; }

  private:
    std::string warnings_;
    std::set<std::string, std::less<>> keptWarnings_;
    // Whether the last text on standard output left its line open ("Input file: 'a.pdf'").
    static bool lineOpen_;
    static bool oneStream_;
};
