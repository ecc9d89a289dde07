#pragma once
// Line settings in and out of the kernel's termios2 record (private to the
// serial port and the pseudo-terminal). termios2 carries any bit rate; it
// comes from <asm/termbits.h>, which cannot be mixed with <termios.h>, so
// only this pair of files includes it.

#include "platform/serial_port.h"

namespace platform::detail {

// Reads the settings of a terminal descriptor; false (errno set) when it is none.
bool ReadLineSettings(int fd, CommSettings& settings);
// Writes the settings in raw mode (no echo, no line editing, no character
// translation), the receiver on and modem control off.
bool WriteLineSettings(int fd, const CommSettings& settings);
// Raw mode with the settings that are there, as a fresh open needs it.
bool MakeRaw(int fd);
// The whole line, and putting it back.
bool SaveLine(int fd, TerminalLine& line);
bool RestoreLine(int fd, const TerminalLine& line);
// The rate and whether the line is cooked; writing cooked turns on line
// editing, echo, signals and output processing as a terminal's defaults do.
bool ReadModes(int fd, TerminalModes& modes);
bool WriteModes(int fd, const TerminalModes& modes);
// Drops the unread input, the unsent output, or both.
bool FlushQueues(int fd, bool input, bool output);

}  // namespace platform::detail
