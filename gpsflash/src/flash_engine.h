#pragma once
// The flash engine: programs an image into the detected part through the
// running flash driver, and reads flash back.
//
// Options: 0 erases the touched sectors and writes the blocks that hold data;
// 1 erases the whole chip (or every sector) first; 2 preserves what the image
// does not give by rewriting every touched sector whole. Blocks stream while
// the target erases and programs; the host waits only for a free target
// buffer or command slot, and every wait ends with an error once the target
// has made no progress for the no-progress limit (60 s). Afterwards every
// stretch of file data is compared by CRC-16 on both sides.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "block_coders.h"
#include "flash_parts.h"
#include "image_buffer.h"
#include "target_requests.h"

namespace ambrel {

struct ProgressFigures {
  std::atomic<int> downloaded{0};
  std::atomic<int> programmed{0};
};

enum class ProgramOption { EraseSectors = 0, EraseChip = 1, Preserve = 2 };

// How long a wait on the target may see no progress (tests shorten it).
void SetNoProgressLimit(std::chrono::milliseconds limit);
std::chrono::milliseconds NoProgressLimit();

class FlashEngine {
 public:
  FlashEngine(TargetRequests& requests, BlockCoders& coders, ProgressFigures& progress)
      : requests_(requests), coders_(coders), progress_(progress) {}

  // False with the reason in `detail`.
  bool RunFlashOperation(const FlashPartRecord& part, const SectorMap& map, const ImageBuffer& image,
                         ProgramOption option, std::string& detail);
  // Reads `count` bytes (a multiple of 1024) from the flash offset.
  bool ReadFlashBlocks(std::uint32_t offset, std::uint8_t* data, std::uint32_t count);

 private:
  struct SpillRing {
    std::vector<std::uint8_t> data;  // capacity x 1024 bytes and the coders' spare
    std::vector<std::uint32_t> offsets;
    std::size_t write = 0;
    std::size_t read = 0;
    std::uint8_t* Entry(std::size_t index) { return data.data() + index * 1024; }
    std::size_t Available(std::size_t index) const { return data.size() - index * 1024; }
  };

  bool Fail(std::string& detail, const std::string& text);
  bool FailWithDetails(std::string& detail, const std::string& text = {});
  bool CheckErrorFlag(const TargetStatus& status, std::string& detail);
  void AppendFailureDetails(std::string& detail);
  bool WaitCommandSlot(std::string& detail);
  bool WaitFreeSlots(int count, std::string& detail);
  bool WaitFreeTargetBuffer(std::string& detail);
  bool EraseForOption1(const FlashPartRecord& part, const SectorMap& map, std::string& detail);
  bool WriteSector(const SectorEntry& sector, const ImageBuffer& image, ProgramOption option, std::string& detail);
  bool PreserveSector(const SectorEntry& sector, const ImageBuffer& image, std::string& detail);
  bool FetchFlashBlock(std::uint32_t offset, unsigned k, bool partial, std::uint8_t& buffer, std::string& detail);
  bool AfterBlock(std::uint32_t offset, const ImageBuffer& image, std::string& detail);
  bool AwaitCompletion(std::string& detail);
  bool VerifyImage(const ImageBuffer& image, std::string& detail);

  TargetRequests& requests_;
  BlockCoders& coders_;
  ProgressFigures& progress_;
  unsigned targetBuffers_ = 0;
  int commandSlots_ = 0;
  unsigned blocksSent_ = 0;
  SpillRing ring_;
};

}  // namespace ambrel
