#pragma once
// The run status, posted with WM_SET_STATUS to the user-I/O thread, which
// frees it. The engine posts {STATUS_DONE, "Processing Complete"} when its
// queue is empty and {STATUS_ERROR, ""} when a request cannot be queued and
// nobody can be asked.

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
};
