#pragma once
// The library's debug trace. It goes to the sink that the environment
// variable QUILLON_PWL_TRACE names ("stderr", or a file to append to) and is
// off when the variable is not set.

namespace pellwick {

inline constexpr const char* kTraceVariable = "QUILLON_PWL_TRACE";

// Formats like printf into a 1024-byte line and writes it with a line end;
// the level is not used.
void PwlTrace(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace pellwick
