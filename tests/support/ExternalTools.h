#pragma once

#include <array>
#include <string>
#include <vector>

// Independent PDF readers (qpdf, poppler's pdftotext) used as judges of the program's output.
namespace tools {

// The one reason a test gives when a judge it needs cannot run, so that the test summary counts
// these skips under one text. The judges are Linux programs: the Windows tests never call them
// (the Windows stage of tools/test.sh judges the Windows program's outputs from the Linux side).
#ifdef _WIN32
inline constexpr const char* kJudgesMissing =
    "the judges (qpdf, poppler-utils, openssl) are Linux programs that the Windows tests do not "
    "call: outputs judged from the Linux side";
#else
inline constexpr const char* kJudgesMissing =
    "qpdf, poppler-utils or openssl is not installed: outputs not judged by them";
#endif

struct ToolResult {
    std::string out; // standard output and standard error together
    int status = -1;
};

// True when the command can be found on the PATH.
bool available(const std::string& command);
// Runs a command line made of the given words (each quoted for the shell).
ToolResult run(const std::vector<std::string>& words);

// "qpdf --check": true when it exits 0 and reports no warning; the report goes to details.
bool qpdfCheckClean(const std::string& path, std::string& details);
// "qpdf --show-npages", or -1 when qpdf fails.
int qpdfPageCount(const std::string& path);
// The page count "mutool info" reports ("Pages: N"), or -1 when it reports none.
int mupdfPageCount(const std::string& path);
// The text of each page by pdftotext (raw order when raw is set); empty on failure.
std::vector<std::string> pdfTextPages(const std::string& path, bool raw);
// The crop box of each page (x0, y0, x1, y1) as pdfinfo reports it; empty on failure.
std::vector<std::array<double, 4>> pageCropBoxes(const std::string& path);
// Text with every run of white-space turned into one blank, trimmed.
std::string normalizeSpace(const std::string& text);

} // namespace tools
