#pragma once

#include <string_view>
#include <vector>

// Whether the option parser reads the argument after this one as its value ("-prefix",
// "-sep", "-font" …), whatever that argument holds.
bool isValueOption(std::string_view argument);
// The word of every option the parser knows ("-s", "-prefix" …), in the order it tries them.
std::vector<std::string_view> optionWords();
// Whether the option parser takes this argument as one of its options (a value option's word,
// or an option with its number: "-s2", "-pos10,20"); anything else it passes over.
bool isKnownOption(std::string_view argument);
