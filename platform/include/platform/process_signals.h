#pragma once
// Process-wide signal dispositions the program sets at start-up.

namespace platform {

// A write to a socket whose peer has gone must fail with an error, not end
// the process: the broken-pipe signal is ignored.
void IgnoreBrokenPipe();

}  // namespace platform
