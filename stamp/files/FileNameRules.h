#pragma once

#include <string>
#include <string_view>

// Names the program makes up from the user's patterns must be names every system can hold: the
// outputs travel between Linux and Windows, and Windows refuses a few characters in a name.
namespace file_name_rules {

// The first character of name that Windows forbids in a file name (\ / : * ? " < > | and the
// control characters), or '\0' when it has none.
char forbiddenCharacter(std::string_view name);

// The last part of a path: what follows its last "/" or "\".
std::string_view lastPart(std::string_view path);

// Replaces the first occurrence of placeholder in a user's pattern (a rename pattern, a prefix
// or end text), if there is one.
void replaceFirst(std::string& text, std::string_view placeholder, std::string_view value);

} // namespace file_name_rules
