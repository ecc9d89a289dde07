#include "shell/script/script_job_building.h"

#include "engine/core/app_settings.h"

namespace script_jobs {

std::unique_ptr<CJobOptions> OptionsWith(const SectorList& selection) {
  auto options = std::make_unique<CJobOptions>();
  options->SetAllParams(GetAppSettings().CopyParams());
  options->SetSectorList(selection);
  return options;
}

std::unique_ptr<CJobOptions> SettingsOptions() { return OptionsWith(GetAppSettings().GetSectorList()); }

bool Rs232Selected() { return GetAppSettings().GetIntParam(OPTION_COMM_PROTOCOL) == 0; }

DeviceNumber Serial() { return GetAppSettings().GetIntParam(OPTION_SERIAL_PORT) + DEVICE_FIRST_COM; }

DeviceNumber ByProtocol() { return Rs232Selected() ? Serial() : DEVICE_UNASSIGNED; }

void MergeSelected(CRegionList& ranges, SectorList& selection) {
  for (auto& sector : selection.sectors) {
    if (sector.selected != 1) continue;
    if (!ranges.Empty()) {
      ImageRegion& last = ranges[ranges.Count() - 1];
      if (std::uint64_t{last.address} + last.length == sector.address) {
        last.length += sector.size;
        sector.selected = 0;
        continue;
      }
    }
    ranges.Add(sector.address, sector.size);
    sector.selected = 0;
  }
}

}  // namespace script_jobs
