#pragma once

#include <string_view>

// Whether the option parser reads the argument after this one as its value ("-prefix",
// "-sep", "-font" …), whatever that argument holds.
bool isValueOption(std::string_view argument);
