#pragma once
// Case folding of the words that commands, options and answers are typed in.

#include <string>
#include <string_view>

// The text with every letter in upper case, byte by byte in the C locale.
std::string UpperCase(std::string_view text);
