#pragma once
// Sleeps that end when they are due. The system lets a thread's timed
// sleeps end up to 50 µs after their deadline (its timer slack) so that it
// can wake several sleepers at once; a thread that keeps a line's pace in
// computed times (a simulator's line, a few hundred microseconds a piece)
// asks for its sleeps to end as close to their deadlines as the system can.

namespace platform {

// For the calling thread only; false where the system refuses.
bool UsePreciseSleeps();

}  // namespace platform
