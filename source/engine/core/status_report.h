#pragma once
// The run status, posted with WM_SET_STATUS to the user-I/O thread, which
// frees it. The engine posts {STATUS_BUSY} when work arrives in its empty
// queue, {STATUS_DONE, "Processing Complete"} when its queue has run empty
// after work, {STATUS_ERROR, "<device>> <reason>"} when a device's job
// fails, {STATUS_ERROR, "Cancelled"} when accepted work is dropped by a
// cancel, and {STATUS_ERROR, ""} when a request cannot be queued and nobody
// can be asked.

#include <cstdint>
#include <string>

enum StatusReportState : std::int32_t {
  STATUS_IDLE = 0,
  STATUS_BUSY = 1,
  STATUS_DONE = 2,
  STATUS_ERROR = 3,
};

struct StatusReport {
  std::int32_t state = STATUS_IDLE;
  std::string text;
  // The BUSY of a script or remote line whose job is on its way to the
  // core thread.
  bool acceptsJob = false;
  // In the core thread's "queue empty" DONE: how many such jobs it had
  // received by then; -1 in every other report. A DONE that has not seen
  // every accepted job is about earlier work and must not end the BUSY.
  std::int64_t acceptedJobsReceived = -1;
  // A BUSY that only tells how the work goes (the grid's "Flashing 45%"):
  // its text is taken while the state is BUSY, it never makes it BUSY.
  bool progressOnly = false;
  // The BUSY and DONE of a line that does its work itself (a download, a
  // script run): its DONE does not end the BUSY of queued work still
  // running.
  bool lineWork = false;
};
