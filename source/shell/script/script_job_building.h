#pragma once
// The parts that the script commands build their jobs from: an options copy
// of the shared settings with a sector selection, and the device rules.

#include <memory>

#include "engine/core/device_number.h"
#include "engine/core/job_options.h"
#include "engine/core/region_list.h"
#include "engine/core/sector_list.h"

namespace script_jobs {

// Every option of the shared settings, with the selection as sector list.
std::unique_ptr<CJobOptions> OptionsWith(const SectorList& selection);
// The same with the settings' own selection.
std::unique_ptr<CJobOptions> SettingsOptions();
// RS232: the selected COM port; otherwise every present USB device.
DeviceNumber ByProtocol();
// The selected COM port, whatever the protocol.
DeviceNumber Serial();
// Appends the ranges of the selected sectors (neighbours in the list that
// follow each other in memory make one range) and clears their flags.
void MergeSelected(CRegionList& ranges, SectorList& selection);
// True when RS232 is the protocol.
bool Rs232Selected();

}  // namespace script_jobs
