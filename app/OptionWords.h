#pragma once

#include <string_view>
#include <vector>

// Whether the option parser reads the argument after this one as its value ("-prefix",
// "-sep", "-font" …), whatever that argument holds.
bool isValueOption(std::string_view argument);
// The word of every option the parser knows ("-s", "-prefix" …), in the order it tries them.
std::vector<std::string_view> optionWords();
