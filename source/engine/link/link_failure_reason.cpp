#include "engine/link/link_failure_reason.h"

#include <utility>

namespace {

// One per thread: every device operation runs its link on a thread of its own.
thread_local std::string noted;

}  // namespace

void NoteLinkFailureReason(std::string reason) { noted = std::move(reason); }

std::string TakeLinkFailureReason() { return std::exchange(noted, std::string()); }
