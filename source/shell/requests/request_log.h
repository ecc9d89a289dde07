#pragma once
// Log lines and error prompts of the shell's requests, through the user-I/O
// thread.

#include <string>

// Posts the line with WM_LOG_LINE to the user-I/O thread.
void LogRequestLine(const std::string& line);
// Posts the error prompt (the last "Error> " line of the log) without
// waiting for its answer.
void ShowErrorPrompt();
