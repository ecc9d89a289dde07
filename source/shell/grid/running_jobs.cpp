#include "shell/grid/running_jobs.h"

#include <algorithm>
#include <utility>

#include "shell/grid/device_grid.h"

namespace {

bool RunsAJob(GridRowStateCode state) {
  switch (state) {
    case GRID_ROW_BUSY:
    case GRID_ROW_SCANNING:
    case GRID_ROW_WAITING:
    case GRID_ROW_REMOVED_BUSY:
      return true;
    default:
      return false;
  }
}

std::string DeviceCount(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " device" : " devices");
}

std::string DeviceNames(const std::vector<DeviceNumber>& devices) {
  std::string names;
  for (DeviceNumber device : devices) names += (names.empty() ? "" : ", ") + GetDeviceName(device);
  return names;
}

}  // namespace

std::vector<DeviceNumber> DevicesWithRunningJobs(const DeviceGrid& grid) {
  std::vector<std::pair<int, DeviceNumber>> shown;
  for (const DeviceRow& row : grid.Rows()) {
    if (row.slot == GRID_SLOT_IN_USE && RunsAJob(row.state)) shown.emplace_back(row.position, row.device);
  }
  std::sort(shown.begin(), shown.end());
  std::vector<DeviceNumber> devices;
  for (const auto& entry : shown) devices.push_back(entry.second);
  return devices;
}

std::string RunningJobsText(const std::vector<DeviceNumber>& devices) {
  const char* start = devices.size() == 1 ? "A job is running on " : "Jobs are running on ";
  return start + DeviceCount(devices.size()) + " (" + DeviceNames(devices) + ").";
}

std::string QuitCancelsJobsLogLine(const std::vector<DeviceNumber>& devices) {
  return "Quit: cancelling the jobs running on " + DeviceCount(devices.size()) + " (" + DeviceNames(devices) + ")";
}
