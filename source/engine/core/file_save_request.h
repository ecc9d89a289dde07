#pragma once
// Built by the core thread for the read-back save worker. The data is
// borrowed from the queue entry's payload, which outlives the save.

#include <cstdint>
#include <string>

#include "engine/core/device_number.h"

class CRegionList;

struct FileSaveRequest {
  DeviceNumber device = 0;
  std::string outputFileName;
  std::uint32_t outputAddress = 0;
  std::uint32_t readBaseAddress = 0;
  std::uint8_t recordLength = 0;  // S-record count field of the data records
  const CRegionList* data = nullptr;  // borrowed
};
