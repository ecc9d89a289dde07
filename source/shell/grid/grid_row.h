#pragma once
// One row of the device status grid as plain data: which device it shows,
// where it sits, what state it is in and what its controls display. The
// grid's widgets only show these values.

#include <string>

#include "engine/core/device_number.h"

enum GridSlotState : int {
  GRID_SLOT_IN_USE = 0,
  GRID_SLOT_FREE = 1,
  GRID_SLOT_CREATE_PENDING = 2,
  GRID_SLOT_REMOVE_PENDING = 3,
};

enum GridRowStateCode : int {
  GRID_ROW_READY = 0,
  GRID_ROW_BUSY = 1,
  GRID_ROW_FINISHED = 2,
  GRID_ROW_ERROR = 3,
  GRID_ROW_ERROR_REMOVED = 4,
  GRID_ROW_SCANNING = 5,
  GRID_ROW_WAITING = 6,
  GRID_ROW_REMOVED_BUSY = 7,
  GRID_ROW_UNSUPPORTED = 8,
};

// Device numbers from here up name a smartphone the program cannot use
// (the first one plus its USB index).
inline constexpr DeviceNumber DEVICE_FIRST_UNSUPPORTED_SMARTPHONE = 147;

inline constexpr int kGridRowCount = 10;

struct DeviceRow {
  DeviceNumber device = DEVICE_UNASSIGNED;
  GridSlotState slot = GRID_SLOT_FREE;
  bool created = false;  // its controls exist
  int position = 0;      // place among the rows in use, 0 at the top
  GridRowStateCode state = GRID_ROW_READY;
  int cancelId = 0;
  int retryId = 0;

  // What the controls show.
  std::string label;
  std::string counts = "(0/0)";
  std::string progressText = "Ready";
  int percent = 0;
  std::string cancelText = "Cancel";
  bool cancelEnabled = false;
  bool retryShown = false;
  bool retryEnabled = false;
  bool errorColours = false;
  bool progressNarrowed = false;  // room made for the Retry button
  bool tooltipsSet = false;
  std::string tooltip;  // the error text while tooltipsSet

  bool HasControls() const { return created && slot != GRID_SLOT_FREE; }
};
