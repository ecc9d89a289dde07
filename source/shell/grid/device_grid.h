#pragma once
// The device status grid as plain data: ten rows, one per device the
// program can work on, kept in ascending device-number order; the core
// thread's status records turned into row states, texts and buttons; the
// overall status that the top row reports; and the read-back that Flash
// Software started, whose saved file (and only that one, as its status
// records say) starts the update flash. Every operation returns the effects the window must carry out.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/device_status_record.h"
#include "shell/grid/button_id_pool.h"
#include "shell/grid/grid_effects.h"
#include "shell/grid/grid_row.h"

enum class FlashSoftwareStart {
  Pending,         // the read-back was asked for one device; Flash Software waits for it
  NoDevice,        // no usable row: the read-back is asked for, nothing waits
  MultipleDevices, // refused: more than one row in use
};

// The log line for a device that found every row taken: it is worked on as
// any other, but the grid cannot show it.
std::string GridFullLogLine(DeviceNumber device);

class DeviceGrid {
 public:
  const DeviceRow& Row(int index) const { return rows_[static_cast<std::size_t>(index)]; }
  const std::array<DeviceRow, kGridRowCount>& Rows() const { return rows_; }

  // First row (any slot but free) of the device, or -1.
  int FindGridRow(DeviceNumber device) const;
  // Rows whose slot is in use.
  int CountGridDevices() const;
  // Rows whose controls exist (in use, or in use and waiting to go).
  int CountShownRows() const;

  // The first free slot waits to be created for the device; false (the
  // device gets no row) when every slot is taken.
  bool ReserveGridRow(DeviceNumber device);
  // Start-up: one row per distinct device, in the order given. Returns the
  // devices that found every row taken.
  std::vector<DeviceNumber> ReserveDevices(const std::vector<DeviceNumber>& devices);
  // Removes every row waiting to go, then creates every row waiting to come.
  GridEffects ApplyGridRowChanges();

  // A device came (back) or went; applyWanted says rows wait.
  GridEffects OnDeviceAttached(DeviceNumber device);
  GridEffects OnDeviceRemoved(DeviceNumber device);

  GridEffects OnGridStatus(const DeviceStatusRecord& record);
  GridEffects OnRowButton(int commandId);
  GridEffects OnResetDeviceRow(DeviceNumber device);
  GridEffects OnResetAllRows();

  // Flash Software: decides whether its read-back waits for one device.
  FlashSoftwareStart BeginFlashSoftware();
  std::optional<DeviceNumber> PendingFlashDevice() const { return flashDevice_; }
  // A request was refused and queued nothing (the core thread's kernel
  // files, no USB radio, ...): a refused interactive read-back is Flash
  // Software's, whose saved file will never come, so Flash Software is
  // given back.
  GridEffects OnRequestRefused(std::uint32_t jobCode, bool interactive);
  // The update flash that a saved read-back started was refused (the radio
  // has the latest firmware, ...): the device's row ends in "Error" with
  // the reason as its tooltip.
  GridEffects OnUpdateRefused(const std::string& reason);

 private:
  int FindShownRow(DeviceNumber device) const;
  void CreateGridRow(int index, GridEffects& effects);
  void DestroyGridRow(int index, GridEffects& effects);
  void LayoutGridRow(int index, GridEffects& effects);
  void ClearFinishedComplete(GridEffects& effects);
  void SetTooltips(DeviceRow& row, const ErrorRecord* error);
  void ClearTooltips(DeviceRow& row);
  void ReportGridStatus(const DeviceRow& row, const DeviceStatusRecord& record, GridEffects& effects) const;
  void TrackFlashSoftware(const DeviceRow& row, const DeviceStatusRecord& record, GridEffects& effects);
  void ReleaseFlash(GridEffects& effects);

  std::array<DeviceRow, kGridRowCount> rows_{};
  ButtonIdPool buttonIds_;
  // The device whose Flash Software read-back runs or waits to run.
  std::optional<DeviceNumber> flashDevice_;
  // The device whose saved read-back started the update flash last.
  std::optional<DeviceNumber> updateDevice_;
};
