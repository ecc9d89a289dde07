#include "shell/grid/device_grid.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <utility>

#include "engine/core/device_event.h"
#include "engine/core/kernel_error_text.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "shell/grid/grid_tables.h"

namespace {

bool IsErrorState(GridRowStateCode state) {
  return state == GRID_ROW_ERROR || state == GRID_ROW_ERROR_REMOVED;
}

std::string CountsText(std::int32_t started, std::int32_t queued) {
  char text[48];
  std::snprintf(text, sizeof text, "(%d/%d)", static_cast<int>(started), static_cast<int>(queued));
  return text;
}

constexpr const char* kCompleteText = "Complete";

GridPost ToPreProcessing(std::uint32_t message, DeviceNumber device = 0) {
  return {PT_PREPROCESSING, message, static_cast<platform::WParam>(device)};
}

}  // namespace

int DeviceGrid::FindGridRow(DeviceNumber device) const {
  for (int i = 0; i < kGridRowCount; ++i) {
    if (rows_[i].slot != GRID_SLOT_FREE && rows_[i].device == device) return i;
  }
  return -1;
}

int DeviceGrid::FindShownRow(DeviceNumber device) const {
  for (int i = 0; i < kGridRowCount; ++i) {
    if (rows_[i].HasControls() && rows_[i].device == device) return i;
  }
  return -1;
}

int DeviceGrid::CountGridDevices() const {
  return static_cast<int>(
      std::count_if(rows_.begin(), rows_.end(), [](const DeviceRow& r) { return r.slot == GRID_SLOT_IN_USE; }));
}

int DeviceGrid::CountShownRows() const {
  return static_cast<int>(
      std::count_if(rows_.begin(), rows_.end(), [](const DeviceRow& r) { return r.HasControls(); }));
}

std::string GridFullLogLine(DeviceNumber device) {
  return "Warning> The status grid is full (" + std::to_string(kGridRowCount) + " devices): " +
         GetDeviceName(device) + " gets no row";
}

bool DeviceGrid::ReserveGridRow(DeviceNumber device) {
  for (auto& row : rows_) {
    if (row.slot != GRID_SLOT_FREE) continue;
    row = DeviceRow{};
    row.device = device;
    row.slot = GRID_SLOT_CREATE_PENDING;
    return true;
  }
  return false;
}

std::vector<DeviceNumber> DeviceGrid::ReserveDevices(const std::vector<DeviceNumber>& devices) {
  std::set<DeviceNumber> seen;
  std::vector<DeviceNumber> withoutRow;
  for (DeviceNumber d : devices) {
    if (seen.insert(d).second && !ReserveGridRow(d)) withoutRow.push_back(d);
  }
  return withoutRow;
}

GridEffects DeviceGrid::ApplyGridRowChanges() {
  GridEffects effects;
  for (int i = 0; i < kGridRowCount; ++i) {
    if (rows_[i].slot == GRID_SLOT_REMOVE_PENDING) DestroyGridRow(i, effects);
  }
  for (int i = 0; i < kGridRowCount; ++i) {
    if (rows_[i].slot == GRID_SLOT_CREATE_PENDING) CreateGridRow(i, effects);
  }
  return effects;
}

void DeviceGrid::CreateGridRow(int index, GridEffects& effects) {
  DeviceRow& row = rows_[index];
  int position = 0;
  for (int i = 0; i < kGridRowCount; ++i) {
    DeviceRow& other = rows_[i];
    if (i == index || !other.HasControls()) continue;
    if (other.device < row.device) {
      ++position;
    } else {
      ++other.position;
      effects.dirtyRows.insert(i);
    }
  }
  row.position = position;
  row.cancelId = buttonIds_.Take().value_or(0);
  row.retryId = buttonIds_.Take().value_or(0);
  row.created = true;
  row.slot = GRID_SLOT_IN_USE;
  row.state = row.device < DEVICE_FIRST_UNSUPPORTED_SMARTPHONE ? GRID_ROW_READY : GRID_ROW_UNSUPPORTED;
  row.label = GridRowLabel(row.device);
  row.retryEnabled = true;
  effects.rowsChanged = true;
  LayoutGridRow(index, effects);
}

void DeviceGrid::DestroyGridRow(int index, GridEffects& effects) {
  DeviceRow& row = rows_[index];
  if (flashDevice_ && *flashDevice_ == row.device && FindGridRow(row.device) == index) ReleaseFlash(effects);
  if (row.created) {
    buttonIds_.Give(row.cancelId);
    buttonIds_.Give(row.retryId);
    for (int i = 0; i < kGridRowCount; ++i) {
      DeviceRow& other = rows_[i];
      if (i == index || !other.HasControls() || other.device <= row.device) continue;
      --other.position;
      effects.dirtyRows.insert(i);
    }
    effects.rowsChanged = true;
  }
  row = DeviceRow{};
  effects.dirtyRows.insert(index);
}

void DeviceGrid::LayoutGridRow(int index, GridEffects& effects) {
  DeviceRow& row = rows_[index];
  row.retryShown = false;
  row.progressNarrowed = false;
  switch (row.state) {
    case GRID_ROW_READY:
      row.progressText = "Ready";
      row.counts = "(0/0)";
      ClearTooltips(row);
      row.cancelText = "Cancel";
      row.cancelEnabled = false;
      row.errorColours = false;
      break;
    case GRID_ROW_BUSY:
      row.cancelText = "Cancel";
      row.cancelEnabled = true;
      row.errorColours = false;
      break;
    case GRID_ROW_FINISHED:
    case GRID_ROW_WAITING:
    case GRID_ROW_REMOVED_BUSY:
      row.cancelText = "Cancel";
      row.cancelEnabled = false;
      row.errorColours = false;
      break;
    case GRID_ROW_ERROR:
    case GRID_ROW_ERROR_REMOVED:
      row.percent = 0;
      row.errorColours = true;
      row.progressText = "Error";
      row.progressNarrowed = true;
      row.retryShown = true;
      row.retryEnabled = row.state == GRID_ROW_ERROR;
      row.cancelText = row.state == GRID_ROW_ERROR ? "Cancel" : "Close";
      row.cancelEnabled = true;
      break;
    case GRID_ROW_UNSUPPORTED:
      row.progressText = "UNSUPPORTED";
      row.errorColours = true;
      ClearTooltips(row);
      break;
    case GRID_ROW_SCANNING:
      break;
  }
  effects.dirtyRows.insert(index);
}

void DeviceGrid::SetTooltips(DeviceRow& row, const ErrorRecord* error) {
  if (row.tooltipsSet) return;
  row.tooltip = GetErrorReason(error);
  row.tooltipsSet = true;
}

void DeviceGrid::ClearTooltips(DeviceRow& row) {
  row.tooltipsSet = false;
  row.tooltip.clear();
}

GridEffects DeviceGrid::OnDeviceAttached(DeviceNumber device) {
  GridEffects effects;
  bool matched = false;
  int replaced = -1;  // a row that makes way for a fresh one
  for (int i = 0; i < kGridRowCount; ++i) {
    DeviceRow& row = rows_[i];
    if (row.slot == GRID_SLOT_FREE || row.device != device) continue;
    matched = true;
    if (IsErrorState(row.state)) {
      row.state = GRID_ROW_ERROR;
      if (row.HasControls()) LayoutGridRow(i, effects);
    } else if (row.state == GRID_ROW_REMOVED_BUSY) {
      row.state = GRID_ROW_WAITING;
    } else {
      row.slot = GRID_SLOT_REMOVE_PENDING;
      replaced = i;
    }
  }
  if (matched && replaced < 0) return effects;
  if (ReserveGridRow(device)) {
    effects.applyWanted = true;
  } else if (replaced >= 0) {
    // Every slot is taken: the old row stays and starts afresh instead.
    DeviceRow& row = rows_[replaced];
    row.slot = row.created ? GRID_SLOT_IN_USE : GRID_SLOT_CREATE_PENDING;
    row.state = GRID_ROW_READY;
    if (row.HasControls()) LayoutGridRow(replaced, effects);
  } else {
    effects.withoutRow.push_back(device);
  }
  return effects;
}

GridEffects DeviceGrid::OnDeviceRemoved(DeviceNumber device) {
  GridEffects effects;
  const int index = FindGridRow(device);
  if (index < 0) return effects;
  DeviceRow& row = rows_[index];
  switch (row.state) {
    case GRID_ROW_READY:
    case GRID_ROW_FINISHED:
    case GRID_ROW_UNSUPPORTED:
      row.slot = GRID_SLOT_REMOVE_PENDING;
      effects.applyWanted = true;
      break;
    case GRID_ROW_ERROR:
      row.state = GRID_ROW_ERROR_REMOVED;
      if (row.HasControls()) LayoutGridRow(index, effects);
      break;
    default:
      row.state = GRID_ROW_REMOVED_BUSY;
      break;
  }
  return effects;
}

GridEffects DeviceGrid::OnGridStatus(const DeviceStatusRecord& record) {
  GridEffects effects;
  // A device whose row is not created yet (or has none) has no control to touch.
  const int index = FindShownRow(record.device);
  if (index < 0) return effects;
  DeviceRow& row = rows_[index];
  if (record.eventCode != EVENT_STATUS_ITEM_QUEUED) {
    const GridRowStateCode prior = row.state;
    row.state = GridRowState(record.eventCode, record.itemsStarted, record.itemsQueued, prior);
    // A Retry makes the row busy at once but leaves its error layout (the
    // Retry button, the narrowed bar, Cancel disabled) until the retried
    // job reports: its first record lays the row out as busy again.
    const bool errorLayoutLeft = row.retryShown && !IsErrorState(row.state);
    if (row.state != prior || IsErrorState(row.state) || errorLayoutLeft) LayoutGridRow(index, effects);
    if (IsErrorState(row.state)) {
      SetTooltips(row, record.error.get());
    } else {
      ClearTooltips(row);
    }
    row.progressText = GridStatusText(record.eventCode, record.percent);
    // A read-back (reverse flash, RAM dump, GPS-chip read) ends when its
    // file is saved: its row ends there too.
    if (record.eventCode == EVENT_STATUS_READ_FILE_SAVED) row.progressText = kCompleteText;
    row.percent = record.percent;
    TrackFlashSoftware(row, record, effects);
    ReportGridStatus(row, record, effects);
  }
  const std::string counts = CountsText(record.itemsStarted, record.itemsQueued);
  if (counts != row.counts) row.counts = counts;
  effects.dirtyRows.insert(index);
  return effects;
}

void DeviceGrid::ReportGridStatus(const DeviceRow& row, const DeviceStatusRecord& record,
                                  GridEffects& effects) const {
  // The core thread reports how the work ends (DONE, ERROR) for every
  // device; the top row lends the BUSY its progress text.
  if (row.position != 0) return;
  switch (row.state) {
    case GRID_ROW_BUSY:
    case GRID_ROW_SCANNING:
    case GRID_ROW_WAITING:
    case GRID_ROW_REMOVED_BUSY: {
      StatusReport report{STATUS_BUSY, GridStatusText(record.eventCode, record.percent)};
      report.progressOnly = true;
      effects.report = report;
      break;
    }
    default: break;
  }
}

FlashSoftwareStart DeviceGrid::BeginFlashSoftware() {
  const int inUse = CountGridDevices();
  if (inUse >= 2) return FlashSoftwareStart::MultipleDevices;
  for (const auto& row : rows_) {
    if (row.slot != GRID_SLOT_IN_USE || row.state == GRID_ROW_UNSUPPORTED) continue;
    flashDevice_ = row.device;
    return FlashSoftwareStart::Pending;
  }
  return FlashSoftwareStart::NoDevice;
}

void DeviceGrid::TrackFlashSoftware(const DeviceRow& row, const DeviceStatusRecord& record,
                                    GridEffects& effects) {
  const std::int32_t code = record.eventCode;
  const bool pendingHere = flashDevice_ && *flashDevice_ == row.device;
  if (record.startsUpdateFlash && code == EVENT_STATUS_READ_FILE_SAVED) {
    // Flash Software's own read-back is saved (also when a Retry saved it):
    // the update flash starts, once, for the device whose read-back it was.
    // Another read-back of the device (the user's own, a RAM dump) never
    // starts it, even while Flash Software waits.
    effects.posts.push_back(ToPreProcessing(WM_FLASH, row.device));
    updateDevice_ = row.device;
    if (pendingHere) ReleaseFlash(effects);
    return;
  }
  if (pendingHere && (IsErrorState(row.state) || IsCancelEvent(code))) {
    // The user may work on meanwhile; a Retry of the read-back takes Flash
    // Software up again.
    ReleaseFlash(effects);
  } else if (!flashDevice_ && record.startsUpdateFlash && !IsErrorState(row.state) && !IsCancelEvent(code)) {
    // Flash Software's read-back runs again after a Retry: Flash Software
    // waits for it as it did for the first attempt.
    flashDevice_ = row.device;
    effects.flashTaken = true;
  }
}

GridEffects DeviceGrid::OnRequestRefused(std::uint32_t jobCode, bool interactive) {
  GridEffects effects;
  if (flashDevice_ && jobCode == WM_REVERSE_FLASH && interactive) ReleaseFlash(effects);
  if (interactive) ClearFinishedComplete(effects);
  return effects;
}

// A request the user started and then gave up before it ran (the missing
// kernel box cancelled): the rows no longer show the previous job's
// "Complete" as if it were this one's; they are ready again.
void DeviceGrid::ClearFinishedComplete(GridEffects& effects) {
  for (int index = 0; index < static_cast<int>(rows_.size()); ++index) {
    DeviceRow& row = rows_[index];
    if (row.state != GRID_ROW_FINISHED || row.progressText != kCompleteText) continue;
    row.state = GRID_ROW_READY;
    row.percent = 0;
    LayoutGridRow(index, effects);
  }
}

GridEffects DeviceGrid::OnUpdateRefused(const std::string& reason) {
  GridEffects effects;
  const std::optional<DeviceNumber> device = std::exchange(updateDevice_, std::nullopt);
  const int index = device ? FindShownRow(*device) : -1;
  if (index < 0) return effects;
  DeviceRow& row = rows_[index];
  // Nothing waits in the core thread, so there is nothing to retry or
  // cancel: the row ends finished, showing the error and its reason.
  row.state = GRID_ROW_FINISHED;
  LayoutGridRow(index, effects);
  row.progressText = "Error";
  row.percent = 0;
  row.errorColours = true;
  row.tooltip = reason;
  row.tooltipsSet = true;
  if (row.position == 0) effects.report = StatusReport{STATUS_ERROR, reason};
  return effects;
}

void DeviceGrid::ReleaseFlash(GridEffects& effects) {
  flashDevice_.reset();
  effects.flashReleased = true;
  effects.flashTaken = false;
}

GridEffects DeviceGrid::OnRowButton(int commandId) {
  GridEffects effects;
  int index = -1;
  for (int i = 0; i < kGridRowCount; ++i) {
    if (rows_[i].HasControls() && (rows_[i].cancelId == commandId || rows_[i].retryId == commandId)) index = i;
  }
  if (index < 0) return effects;
  DeviceRow& row = rows_[index];
  row.cancelEnabled = false;
  row.retryEnabled = false;
  ClearTooltips(row);
  effects.dirtyRows.insert(index);
  if (commandId == row.retryId) {
    effects.posts.push_back(ToPreProcessing(WM_RETRY_DEVICE, row.device));
    row.state = GRID_ROW_BUSY;
    return effects;
  }
  if (row.state == GRID_ROW_BUSY || row.state == GRID_ROW_ERROR) {
    effects.posts.push_back(ToPreProcessing(WM_CANCEL_DEVICE, row.device));
  } else if (row.state == GRID_ROW_ERROR_REMOVED) {
    effects.posts.push_back(ToPreProcessing(WM_CANCEL_DEVICE, row.device));
    row.slot = GRID_SLOT_REMOVE_PENDING;
    effects.Merge(ApplyGridRowChanges());
  }
  return effects;
}

GridEffects DeviceGrid::OnResetDeviceRow(DeviceNumber device) {
  GridEffects effects;
  const int index = FindShownRow(device);
  if (index < 0) return effects;
  ClearTooltips(rows_[index]);
  // A device gone while in error has nothing left to show.
  if (rows_[index].state == GRID_ROW_ERROR_REMOVED) {
    rows_[index].slot = GRID_SLOT_REMOVE_PENDING;
    effects.Merge(ApplyGridRowChanges());
    return effects;
  }
  rows_[index].state = GRID_ROW_READY;
  LayoutGridRow(index, effects);
  return effects;
}

GridEffects DeviceGrid::OnResetAllRows() {
  // STATUS RESET: the core thread has cancelled the work of every device in
  // error itself (rows without a device included); the rows follow.
  GridEffects effects;
  for (int i = 0; i < kGridRowCount; ++i) {
    DeviceRow& row = rows_[i];
    if (row.slot != GRID_SLOT_IN_USE || !IsErrorState(row.state)) continue;
    effects.Merge(OnResetDeviceRow(row.device));
  }
  return effects;
}
