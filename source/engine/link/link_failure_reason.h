#pragma once
// The system's reason for the link layer's last failure on this thread, for
// the log: a thrown ISP_EXCEPTION value says what failed, not why. The link
// layer notes it where the system refused (a serial port that does not open:
// the device path tried and the system's text); the device object that
// reports the failure takes it.

#include <string>

void NoteLinkFailureReason(std::string reason);
// The reason noted last on this thread, or empty; the note is cleared.
std::string TakeLinkFailureReason();
