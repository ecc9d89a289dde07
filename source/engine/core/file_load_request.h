#pragma once
// Built by the core thread for the image-file load worker and returned with
// WM_FILE_LOADED; the core thread frees it. The loaded image is owned by the
// request (its buffers are released with it unless taken); the options are
// borrowed from the first waiting entry.

#include <cstdint>
#include <string>

#include "engine/core/region_list.h"

class CJobOptions;

struct FileLoadRequest {
  std::string fileName;
  std::int32_t sequenceNumber = 0;  // of the entries that wait for the file
  std::int32_t result = 0;          // 0 on success
  std::int32_t reserved = 0;
  std::int32_t resultDetail = 0;
  std::int32_t flashpack = 0;         // 1 when the loaded image holds flashpacks
  std::int32_t overrideChecksum = 0;  // option id 8
  RegionListPtr image;
  const CJobOptions* options = nullptr;  // borrowed
};
