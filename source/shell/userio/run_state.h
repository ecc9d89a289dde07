#pragma once
// The run status that the user-I/O thread keeps and the STATUS query reports.
// Reports arrive as StatusReport records with WM_SET_STATUS; their state is a
// RunState.

#include <string>

#include "engine/core/status_report.h"

using RunState = StatusReportState;

inline constexpr RunState RUN_IDLE = STATUS_IDLE;
inline constexpr RunState RUN_BUSY = STATUS_BUSY;
inline constexpr RunState RUN_DONE = STATUS_DONE;
inline constexpr RunState RUN_ERROR = STATUS_ERROR;

struct RunStatus {
  RunState state = RUN_IDLE;
  std::string text = "Startup";
};

// "IDLE", "BUSY", "DONE" or "ERROR"; empty for a value outside the four.
const char* RunStateWord(RunState state);
