#pragma once
// The event codes 0 to 63: what the core thread's callback does with each,
// which lists it releases, and the text of the status grid.

#include <cstdint>

enum class CoreEventAction {
  None,          // nothing is posted
  Progress,      // WM_JOB_PROGRESS with {device, code, argument, total}
  ProgressZero,  // WM_JOB_PROGRESS with done and total 0
  Error,         // WM_JOB_ERROR with a new ErrorRecord
  Cancel,        // WM_CANCEL_QUEUED with a FinishRecord
  Finish,        // WM_JOB_FINISHED with a FinishRecord
  Save,          // WM_SAVE_READ_FILE with the device number
};

enum class EventListRelease {
  None,
  ListA,       // list A is released in the registry before the post
  ListsAandB,  // both lists
};

struct DeviceEventInfo {
  std::int32_t code;
  CoreEventAction action;
  EventListRelease release;
  const char* gridText;  // null: no text; "%d" takes the percentage
};

// The entry of a code 0 to 63; null for any other code.
const DeviceEventInfo* GetDeviceEventInfo(std::int32_t code);
