#pragma once
// The one way a line reaches the log from any thread: the user-I/O thread
// owns the log file and the log window, so every other thread posts to it.

#include <string>

// Posts the text as a WM_LOG_LINE to the user-I/O thread.
void PostLogLine(std::string text);
