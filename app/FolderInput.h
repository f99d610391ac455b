#pragma once

#include <string>
#include <string_view>
#include <vector>

// A folder given as the input (-i<folder> -f<folder>): its documents are the files directly in
// it whose names end in ".pdf" in any letter case, taken in natural order, as a list of those
// names in that order would give them. Subfolders are not entered.
namespace folder_input {

// The documents' names (without the folder), in natural order. False with errorText set when
// the folder cannot be read.
bool documentNames(const std::string& folder, std::vector<std::string>& names,
                   std::string& errorText);

// Natural order: runs of digits compare by their value ("2.pdf" before "10.pdf"), the other
// characters without regard to ASCII letter case; names equal so compare by their bytes.
bool naturalLess(std::string_view a, std::string_view b);

} // namespace folder_input
