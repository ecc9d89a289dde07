#include "shell/preproc/update_read_back.h"

#include <array>
#include <cstddef>

#include "shell/requests/job_building.h"
#include "shell/requests/sector_merge.h"

namespace {

constexpr std::array<std::size_t, 4> kCodePositions{8, 60, 61, 62};

bool IsCodePosition(std::size_t index) {
  for (std::size_t p : kCodePositions) {
    if (p == index) return true;
  }
  return false;
}

}  // namespace

void MarkUpdateSectors(SectorList& selection) {
  for (std::size_t i = 0; i < selection.sectors.size(); ++i) {
    SectorEntry& sector = selection.sectors[i];
    if ((sector.name == "CODE" && IsCodePosition(i)) || sector.name == "CODEPLUG") sector.selected = 1;
  }
}

std::unique_ptr<ReadBackPayload> BuildUpdateReadBack(SectorList selection) {
  MarkUpdateSectors(selection);
  auto payload = std::make_unique<ReadBackPayload>();
  payload->regions = MakeRegionList();
  MergeSelectedSectors(*payload->regions, selection);
  payload->outputAddress = kUpdateReadBackOutputAddress;
  payload->readBaseAddress = payload->regions->Empty() ? 0 : (*payload->regions)[0].address;
  payload->reserved = 0;
  payload->recordLength = kUpdateReadBackRecordLength;
  payload->outputFileName = kUpdateReadBackFile;
  payload->options = *CopySettingsOptions(selection);
  payload->startsUpdateFlash = true;
  return payload;
}
