#pragma once
// The driver's debug trace: every call with its arguments and status, every
// libusb failure, every arrival and removal. It goes to the sink that the
// environment variable QUILLON_PST_TRACE names ("stderr", or a file to append
// to) and is off when the variable is not set.

namespace usb_driver {

inline constexpr const char* kTraceVariable = "QUILLON_PST_TRACE";

// Formats like printf into a 1024-byte line and writes it with a line end.
void PstTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace usb_driver
