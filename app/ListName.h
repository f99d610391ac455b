#pragma once

#include <string>
#include <string_view>

// The file a list line names, and where its output goes. Lists are made by the system's own
// tools ("dir /B > list.txt" writes the console's code page, a spreadsheet its ANSI code page),
// so a name is not always UTF-8.
namespace list_name {

// The name as UTF-8: valid UTF-8 as it is; any other bytes read in the system's code pages
// (on Windows the ANSI one, then the console's OEM one; elsewhere code page 1252), the reading
// that names an existing file taken, else the first reading.
std::string resolve(std::string_view bytes);

// True for a path that starts at a root: "C:\…", "C:/…", "\\server\…", "/…" (on every system).
bool isAbsolute(std::string_view name);

// The output of a line: the folder joined with the name, or with an absolute path's file name
// alone (its folders are the input's, not below the output folder).
std::string outputName(std::string_view folder, std::string_view name);

} // namespace list_name
