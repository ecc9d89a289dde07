#pragma once
// The radio's application firmware, as far as the RAM dump reaches it: it
// takes serial-bus short frames (each acknowledged), announces its RAM
// regions and reads RAM in pieces of up to 512 bytes.
//
//   F2 31 00            announce the dump        ACK only
//   F2 35 00            region count             F2 B5 count
//   F2 32 n             region n                 F9 B2 start(4) size(4)
//   F8 33 addr(4) len(3) read                    FF 00 (len+2)(2) B3 data, or F2 B3 value
//
// Anything it cannot answer gets the refusal F2 BF 06.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "radiosim/fault_plan.h"
#include "radiosim/kernel_framing.h"
#include "radiosim/radio_config.h"
#include "radiosim/transcript.h"

namespace radiosim {

class ApplicationFirmware {
 public:
  ApplicationFirmware(const std::vector<RamRegionSpec>& regions, FaultPlan& faults, Transcript& transcript);

  // The bytes the firmware sends for a frame it received: the
  // acknowledgement and the reply frame, if any.
  std::vector<std::uint8_t> Handle(const FrameResult& frame);

  // RAM contents for tests; false when the range is not inside one region.
  bool SetRam(std::uint32_t address, std::span<const std::uint8_t> bytes);
  std::vector<std::uint8_t> GetRam(std::uint32_t address, std::uint32_t length) const;
  std::vector<RamRegionSpec> Regions() const;
  int DumpsAnnounced() const { return announced_; }

  static int RequestId(std::span<const std::uint8_t> message);

 private:
  struct Region {
    std::uint32_t start;
    std::vector<std::uint8_t> bytes;
  };

  std::vector<std::uint8_t> Answer(std::span<const std::uint8_t> message);
  std::vector<std::uint8_t> RegionCount();
  std::vector<std::uint8_t> RegionInfo(std::span<const std::uint8_t> message);
  std::vector<std::uint8_t> ReadRam(std::span<const std::uint8_t> message);
  std::vector<std::uint8_t> Refusal(const char* why);
  // The region that holds [address, address + length), if one does.
  std::optional<std::size_t> RegionFor(std::uint32_t address, std::uint32_t length) const;

  std::vector<Region> regions_;
  FaultPlan& faults_;
  Transcript& transcript_;
  int announced_ = 0;
};

// A short frame: header F n, the n message bytes, checksum.
std::vector<std::uint8_t> EncodeShortFrame(std::span<const std::uint8_t> message);

}  // namespace radiosim
