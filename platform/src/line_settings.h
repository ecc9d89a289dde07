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
// Drops the unread input, the unsent output, or both.
bool FlushQueues(int fd, bool input, bool output);

}  // namespace platform::detail
