#pragma once
// What a log line reports, for the status bar's colour: an error line holds
// "Error>" (as the error boxes read them) or is a device's "%s> ERROR: %s"
// line; a warning line holds "Warning>"; everything else is progress.

#include <string>

enum class LogLineKind { Progress, Warning, Error };

LogLineKind ClassifyLogLine(const std::string& line);

// The line as one row of text: its line ends become blanks.
std::string SingleRowText(const std::string& line);
