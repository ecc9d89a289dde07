#pragma once
// The request to end that a desktop session or a terminal sends a program
// (SIGTERM, SIGINT), turned into a readable descriptor so that the GUI's
// event loop can close the main window the ordinary way.

namespace platform {

// From the first call on, the two signals no longer end the process at
// once; each makes the returned descriptor readable. -1 when it cannot be
// set up (the signals then keep their default action).
int WatchTerminationSignals();
// Empties the descriptor after it became readable.
void DrainTerminationSignals();

}  // namespace platform
