#pragma once
// The read-back that the "Flash Software" road starts with: the radio's
// CODE sectors at list positions 8, 60, 61 and 62 and every CODEPLUG sector
// are read into "rev_flash.s19", from which the update flash later takes the
// radio's model code and firmware version.

#include <memory>

#include "engine/core/job_payloads.h"
#include "engine/core/sector_list.h"

inline constexpr const char* kUpdateReadBackFile = "rev_flash.s19";
inline constexpr std::uint32_t kUpdateReadBackOutputAddress = 0x10010000;
inline constexpr std::uint8_t kUpdateReadBackRecordLength = 0x15;  // S3 records with 16 data bytes

// Selects the sectors the update needs; other selected flags stay as they were.
void MarkUpdateSectors(SectorList& selection);

// The read-back payload from the settings' sector selection: the marked
// sectors merged into ranges, read base at the first range (0 for none),
// and an options copy of the settings whose sector list is the selection as
// the merge left it (every selected flag cleared). Its saved file starts the
// update flash.
std::unique_ptr<ReadBackPayload> BuildUpdateReadBack(SectorList selection);
