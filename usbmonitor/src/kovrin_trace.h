#pragma once
// The monitor's debug trace: each announcement handled, each walk's counts
// and each change record posted. It goes to the sink that the environment
// variable QUILLON_KOVRIN_TRACE names ("stderr", or a file to append to) and
// is off when the variable is not set.

namespace kovrin {

inline constexpr const char* kTraceVariable = "QUILLON_KOVRIN_TRACE";

// Formats like printf into a 1024-byte line and writes it with a line end.
void KovrinTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kovrin
