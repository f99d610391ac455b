#pragma once

#include <ctime>
#include <string>
#include <string_view>

// File and date placeholders of the "-prefix" and "-end" texts.
namespace placeholders {

// True when text holds any of "[FILETITLE]", "[FILENAME]", "[FILECREATEDATE]", "[FILEMODDATE]",
// "[DD]", "[MM]", "[YYYY]", "[hh]", "[mm]", "[ss]".
bool containsAny(std::string_view text);

// The name after its last folder separator, less its last four characters (the extension with
// its dot); empty when fewer than four characters are left.
std::string fileTitle(std::string_view inputName);

// The C library's ctime layout, "Www Mmm dd hh:mm:ss yyyy\n", with English names.
std::string formatCtime(const std::tm& time);

// Expands the placeholders of text for the given input file: file title, file name (which
// doubles every backslash of the text), the file's modification and creation times and the
// current local time. Text without placeholders is returned unchanged. Unreadable file times
// are reported on standard error, leave both date texts empty and set *timesMissing; so are
// the dates of standard input ("-"), which has none, when the text asks for them.
std::string expand(std::string text, const std::string& inputName, bool* timesMissing = nullptr);

} // namespace placeholders
