#pragma once
// The process-wide table of the four worker-thread objects, indexed by
// PostTarget 0 to 3, beside the thread ids of the post table. The main
// window fills it when it creates the threads and empties it before it
// destroys them; the user-I/O thread takes the remote-I/O thread from it to
// resume it.

#include <cstdint>

namespace platform {
class WorkerThread;
}

void SetTargetThreadObject(std::int32_t target, platform::WorkerThread* thread);
// Null for a target outside 0 to 3 or an empty entry.
platform::WorkerThread* GetTargetThreadObject(std::int32_t target);
