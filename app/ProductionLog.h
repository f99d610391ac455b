#pragma once

#include "stamp/pass/PassResult.h"

#include <string>
#include <string_view>
#include <vector>

// The production log of a run (-log): one CSV row per input document, appended to the file as
// soon as the document is finished, so that the log of an interrupted run lists what was done.
// The file is UTF-8, its fields quoted as RFC 4180 has them, its lines ended by CR LF; a file
// that is new or empty gets the UTF-8 byte order mark and the header row first. A field that a
// spreadsheet would read as a formula (it starts with "=", "+", "-", "@", a tab or a CR) is
// written after an apostrophe; a row appended to a file whose last line has no line end starts
// a new line.
class ProductionLog {
  public:
    // What became of one input document.
    struct Row {
        std::string input;
        // The output's final name (after -rename); empty when nothing was put in place.
        std::string output;
        bool stamped = false;
        PassResult pass; // what the pass did, when it was stamped
        // The cause of the failure, or the warnings of a document stamped all the same.
        std::string cause;
    };

    // A log that writes nothing: the run was given no -log.
    ProductionLog() = default;
    explicit ProductionLog(std::string fileName) : fileName_(std::move(fileName)) {}

    bool enabled() const { return !fileName_.empty(); }
    // Opens the file for appending (creating it) and writes the header row when it is new or empty,
    // so that a log that cannot be written stops the run before anything is stamped. Throws
    // CPdfException when it cannot be written.
    void start() const;
    // Appends the row: opened, written, flushed and closed. Throws CPdfException when it
    // cannot be written.
    void append(const Row& row) const;

    // The column names, in order.
    static std::vector<std::string> header();
    // The row's fields, in the order of the header.
    static std::vector<std::string> fields(const Row& row);
    // Appends the pass's pages, stamped pages, first and last number (empty when no page is
    // stamped) and first and last text: the columns the log and a production's plan share.
    static void appendRanges(std::vector<std::string>& fields, const PassResult& pass);
    // The fields as one CSV line with its CR LF: a field holding a comma, a double quote, a CR
    // or an LF is quoted, its double quotes doubled.
    static std::string csvLine(const std::vector<std::string>& fields);
    // Starts a new log or plan: it marks the file as UTF-8 for spreadsheets, which read it in the
    // local code page otherwise (a list reader passes it over).
    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

  private:
    // Makes the log with its byte order mark and header, unless another run made it first.
    void create() const;
    // Appends bytes to the file (the header first when the file is empty); throws on failure.
    void write(std::string_view bytes) const;

    std::string fileName_;
};
