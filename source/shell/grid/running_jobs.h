#pragma once
// The work under way in the grid, as the window asks before it closes:
// which devices have a job running, the question's text and the log line
// of a quit that cancels them.

#include <string>
#include <vector>

#include "engine/core/device_number.h"

class DeviceGrid;

// The devices whose rows show a job under way (busy, scanning, waiting for
// a device that came back, removed while busy), top row first.
std::vector<DeviceNumber> DevicesWithRunningJobs(const DeviceGrid& grid);

// "A job is running on 1 device (COM1)." or "Jobs are running on 2 devices
// (USB3, COM1)."
std::string RunningJobsText(const std::vector<DeviceNumber>& devices);

// "Quit: cancelling the jobs running on 2 devices (USB3, COM1)"
std::string QuitCancelsJobsLogLine(const std::vector<DeviceNumber>& devices);
