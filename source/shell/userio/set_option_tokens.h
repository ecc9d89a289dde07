#pragma once
// The payload of WM_SET_OPTION: the SET command's tokens after the command
// word, in pairs option, choice. The user-I/O thread frees it and answers
// WM_SET_OPTION_REPLY (1 done, 0 failed) to the pre-processing thread.

#include <string>
#include <vector>

using SetOptionTokens = std::vector<std::string>;
