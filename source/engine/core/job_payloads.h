#pragma once
// The arguments of queued operations, one record per kind of job. Each
// payload carries its own copy of the options, taken when the job was built.
// Region lists are owned: destroying a payload releases its lists' buffers
// in the registry once, and copying a payload duplicates its lists, so the
// plain copy constructor gives every entry of a fan-out a copy of its own.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/job_options.h"
#include "engine/core/duplicating_region_list.h"
#include "engine/core/region_list.h"

// WM_FLASH, WM_FLASHPACK_EXTRACT_ADD_FLASH, WM_FLASHPACK_ADD, WM_ORVIX_FLASH,
// WM_RALIX_FLASH_FILE.
struct FileJobPayload {
  std::string imageFileName;
  CJobOptions options;
  // Null until the core thread attaches a copy of the loaded regions (never
  // set for WM_ORVIX_FLASH and WM_RALIX_FLASH_FILE).
  DuplicatingRegionListPtr loadedImage;
  // A reference the sender attaches, shared by every copy of a fan-out and
  // released when the last payload holding it goes: a temporary image file
  // stays on disk while any job may still have to load it.
  std::shared_ptr<const void> keepAlive;
  // What the core thread logs after the device's name when the job ends
  // well, or when it is cancelled before it could (empty: nothing): the
  // sender's own account of how its work ended.
  std::string finishedNote;
  std::string cancelledNote;
};

// WM_REVERSE_FLASH, WM_ORVIX_REVERSE_FLASH.
struct ReadBackPayload {
  std::uint32_t outputAddress = 0;    // address of the first byte read in the written file; entry of its end record
  std::uint32_t readBaseAddress = 0;
  std::uint32_t reserved = 0;         // reserved by the sender
  std::uint8_t recordLength = 0;      // S-record count field of the data records
  std::string outputFileName;
  DuplicatingRegionListPtr regions;              // regions to read, with registry buffers that receive the data
  CJobOptions options;
  // The read-back that Flash Software starts with: its saved file (and no
  // other read-back's) goes on to the update flash, also when it is saved
  // only after a Retry.
  bool startsUpdateFlash = false;
};

// WM_RAM_DUMP.
struct RamDumpPayload {
  std::string outputFileName;
  DuplicatingRegionListPtr regions;  // the RAM regions to dump
  CJobOptions options;
};

// WM_FLASHPACK_REMOVE.
struct FlashpackRemovePayload {
  std::vector<std::uint16_t> packIndices;  // the flashpacks to remove
  CJobOptions options;
};

// WM_CUSTOM_COMMAND.
struct CustomCommandPayload {
  static constexpr std::size_t kMaxCommandBytes = 64;
  static constexpr std::uint32_t kNoResponse = 0x1;  // flags bit 0: no response wanted

  std::string label;  // of the custom-menu item
  std::array<std::uint8_t, kMaxCommandBytes> command{};
  std::uint32_t commandLength = 0;  // bytes of command in use, at most 64
  std::uint32_t flags = 0;
  CJobOptions options;
  DuplicatingRegionListPtr regions;  // filled by the starter
};
