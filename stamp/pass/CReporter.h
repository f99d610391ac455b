#pragma once

#include <string_view>

// What a stamp job has to say while it works, handed to whoever runs it: the front end shows it
// on the console, a test records it. The job never writes to the console itself. This base
// keeps nothing, so a job that was given no reporter works silently.
class CReporter {
  public:
    CReporter() = default;
    virtual ~CReporter() = default;
    CReporter(const CReporter&) = delete;
    CReporter& operator=(const CReporter&) = delete;

    // Text for the user as it stands, line ends included where it has them ("Input file: …",
    // "Processing", "Renaming output file: …").
    virtual void note(std::string_view /*text*/) {}
    // One more step of a long pass (a page of several gone through).
    virtual void progress() {}
    // One line (without its line end) on something that went wrong or is not as asked; it
    // follows every note given before it.
    virtual void warning(std::string_view /*line*/) {}
};
