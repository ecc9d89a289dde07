#include "flash_engine.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

#include "crc16.h"
#include "platform/tick.h"

namespace ambrel {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kPollMs = 100;
constexpr std::uint32_t kCrcPiece = 0x80000;

std::atomic<long long> noProgressLimitMs{60000};

std::string Format(const char* format, unsigned value) {
  char text[128];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Ends a wait once what the target reports has stopped changing for the limit.
class ProgressWatch {
 public:
  using Signature = std::tuple<int, int, int, int, std::uint32_t>;
  explicit ProgressWatch() : since_(Clock::now()) {}
  bool Stalled(const Signature& now) {
    if (!seen_ || now != last_) {
      seen_ = true;
      last_ = now;
      since_ = Clock::now();
      return false;
    }
    return Clock::now() - since_ >= NoProgressLimit();
  }

 private:
  bool seen_ = false;
  Signature last_{};
  Clock::time_point since_;
};

ProgressWatch::Signature StatusSignature(const TargetStatus& status, int code = 0, std::uint32_t address = 0) {
  return {status.freeBuffers, status.blocksProgrammed, status.freeSlots, code, address};
}

std::string NoProgressText() {
  return Format("No progress from the target for %u seconds\n",
                static_cast<unsigned>((NoProgressLimit().count() + 999) / 1000));
}

int Percent(std::uint64_t part, std::uint64_t whole) {
  return whole == 0 ? 100 : static_cast<int>(std::min<std::uint64_t>(part * 100 / whole, 100));
}

std::string OperationLine(std::uint8_t code, std::uint32_t address) {
  switch (code) {
    case 0: return Format("Last operation: block write at 0x%x\n", address);
    case 1: return Format("Last operation: sector erase at 0x%x\n", address);
    case 2: return "Last operation: chip erase\n";
    case 3: return Format("Last operation: sector lock at 0x%x\n", address);
    case 4: return Format("Last operation: sector unlock at 0x%x\n", address);
    default: return Format("Last operation code: 0x%x\n", code);
  }
}

const char* ActivityLine(std::uint8_t kind) {
  switch (kind / 2) {
    case 0: return "Last activity: waiting for write or erase completion";
    case 1: return "Last activity: waiting for write completion";
    case 2: return "Last activity: waiting for erase completion";
    case 3: return "Last activity: write verify";
    case 4: return "Last activity: erase sector verify";
    case 5: return "Last activity: erase chip verify";
    default: return nullptr;
  }
}

std::string ActivityBlock(const LastActivity& activity) {
  const bool odd = (activity.kind & 1) != 0;
  const bool verify = activity.kind >= 6;
  const std::uint32_t expected = odd ? activity.expected : activity.expected & 0xFFFF;
  std::uint32_t third;
  if (verify) {
    third = odd ? activity.actual : activity.actual & 0xFFFF;
  } else {
    third = odd ? activity.actual & 0x00FF00FF : activity.actual & 0xFF;
  }
  const char* format;
  if (verify) {
    format = odd ? "%s\nAddress:       0x%08x\nExpected data: 0x%08x\nActual data:   0x%08x\n"
                 : "%s\nAddress:       0x%08x\nExpected data: 0x%04x\nActual data:   0x%04x\n";
  } else {
    format = odd ? "%s\nAddress:       0x%08x\nExpected data: 0x%08x\nStatus:        0x%08x\n"
                 : "%s\nAddress:       0x%08x\nExpected data: 0x%04x\nStatus:        0x%04x\n";
  }
  char text[256];
  std::snprintf(text, sizeof text, format, ActivityLine(activity.kind), activity.address, expected, third);
  return text;
}

bool BlockFullyValid(const ImageBuffer& image, std::uint32_t index) {
  const std::uint8_t* valid = image.valid.data() + std::size_t{index} * kBlockSize;
  return std::all_of(valid, valid + kBlockSize, [](std::uint8_t v) { return v != 0; });
}

}  // namespace

void SetNoProgressLimit(std::chrono::milliseconds limit) { noProgressLimitMs = limit.count(); }
std::chrono::milliseconds NoProgressLimit() { return std::chrono::milliseconds(noProgressLimitMs.load()); }

bool FlashEngine::Fail(std::string& detail, const std::string& text) {
  detail += text;
  return false;
}

bool FlashEngine::FailWithDetails(std::string& detail, const std::string& text) {
  detail += text;
  AppendFailureDetails(detail);
  return false;
}

bool FlashEngine::CheckErrorFlag(const TargetStatus& status, std::string& detail) {
  if (status.errorFlag == 0) return true;
  return FailWithDetails(detail);
}

void FlashEngine::AppendFailureDetails(std::string& detail) {
  std::uint8_t code = 0;
  std::uint32_t address = 0;
  if (!requests_.GetOperationState(code, address)) {
    code = 0;
    address = 0;
  }
  const std::string operation = OperationLine(code, address);
  detail += operation;
  LastActivity activity;
  if (!requests_.GetLastActivity(activity)) return;
  if (ActivityLine(activity.kind)) {
    detail += ActivityBlock(activity);
  } else {
    detail += operation;
  }
}

bool FlashEngine::WaitCommandSlot(std::string& detail) {
  ProgressWatch watch;
  for (;;) {
    TargetStatus status;
    if (!requests_.GetStatus(status)) return false;
    if (status.errorFlag) return FailWithDetails(detail);
    if (status.freeSlots > 0) return true;
    if (watch.Stalled(StatusSignature(status))) return Fail(detail, NoProgressText());
    platform::SleepMs(kPollMs);
  }
}

bool FlashEngine::WaitFreeSlots(int count, std::string& detail) {
  ProgressWatch watch;
  for (;;) {
    TargetStatus status;
    if (!requests_.GetStatus(status)) return false;
    if (status.errorFlag) return FailWithDetails(detail);
    if (status.freeSlots >= count) return true;
    if (watch.Stalled(StatusSignature(status))) return Fail(detail, NoProgressText());
    platform::SleepMs(kPollMs);
  }
}

bool FlashEngine::WaitFreeTargetBuffer(std::string& detail) {
  if (requests_.LastStatus().freeBuffers > 0) return true;
  TargetTiming timing;
  requests_.GetTiming(timing);
  ProgressWatch watch;
  for (;;) {
    TargetStatus status;
    if (!requests_.GetStatus(status)) return false;
    if (status.errorFlag) return FailWithDetails(detail);
    std::uint8_t code = 0;
    std::uint32_t address = 0;
    if (!requests_.GetOperationState(code, address)) return false;
    if (code == 0) {
      if (!requests_.RequestBuffers(1, status)) return false;
      if (status.errorFlag) return FailWithDetails(detail);
      if (status.freeBuffers > 0) return true;
    }
    if (watch.Stalled(StatusSignature(status, code, address))) return Fail(detail, NoProgressText());
    platform::SleepMs(kPollMs);
  }
}

bool FlashEngine::RunFlashOperation(const FlashPartRecord& part, const SectorMap& map, const ImageBuffer& image,
                                    ProgramOption option, std::string& detail) {
  detail.clear();
  blocksSent_ = 0;
  progress_.downloaded = 0;
  progress_.programmed = 0;
  coders_.lzss.Restart();
  if (image.size == 0 || image.data.size() < image.size + kCoderSpare) return Fail(detail, "Image is empty\n");

  TargetStatus status;
  if (!requests_.GetStatus(status)) return Fail(detail, "Failed to get target status\n");
  targetBuffers_ = status.freeBuffers;
  commandSlots_ = status.freeSlots;

  if (part.unlockSectors) {
    for (const SectorEntry& sector : map.sectors) {
      if (!requests_.UnlockSector(sector.start)) return Fail(detail, Format("Failed to unlock sector at 0x%x\n", sector.start));
    }
  }
  if (option == ProgramOption::Preserve) {
    // Without a target buffer no sector could be written back after its
    // erase, so the operation stops before it erases anything.
    if (targetBuffers_ == 0) return Fail(detail, "No free target buffer to preserve sectors\n");
    const std::size_t capacity = std::max<std::uint32_t>(map.largestSectorKb, 1);
    ring_.data.assign(capacity * kBlockSize + kCoderSpare, 0xFF);
    ring_.offsets.assign(capacity, 0);
    ring_.write = ring_.read = 0;
  }
  if (coders_.mode == CompressionMode::Huffman && !requests_.SendHuffmanTree(coders_.huffman)) {
    return Fail(detail, "Failed to send Huffman tree\n");
  }
  if (option == ProgramOption::EraseChip && !EraseForOption1(part, map, detail)) return false;

  const std::optional<std::size_t> first = map.FindSector(image.adjustedLow);
  const std::optional<std::size_t> last = map.FindSector(image.adjustedLow + image.size - 1);
  if (!first || !last) return Fail(detail, "Image lies outside the flash\n");
  for (std::size_t s = *first; s <= *last; ++s) {
    const bool ok = option == ProgramOption::Preserve ? PreserveSector(map.sectors[s], image, detail)
                                                      : WriteSector(map.sectors[s], image, option, detail);
    if (!ok) return false;
  }
  if (!AwaitCompletion(detail)) return false;
  return VerifyImage(image, detail);
}

bool FlashEngine::EraseForOption1(const FlashPartRecord& part, const SectorMap& map, std::string& detail) {
  bool supported = false;
  if (!requests_.QueryChipErase(supported)) {
    return Fail(detail, "Failed checking if erase chip command is supported\n");
  }
  if (supported) {
    if (!requests_.EraseChip(part.size)) return Fail(detail, "Failed requesting chip erase\n");
    return true;
  }
  for (const SectorEntry& sector : map.sectors) {
    if (!WaitCommandSlot(detail)) return false;
    if (!requests_.EraseSector(sector.start, sector.size)) return Fail(detail, "Failed requesting sector erase\n");
  }
  return true;
}

bool FlashEngine::AfterBlock(std::uint32_t offset, const ImageBuffer& image, std::string& detail) {
  progress_.downloaded = Percent(std::uint64_t{offset} + kBlockSize - image.adjustedLow, image.size);
  progress_.programmed =
      Percent(std::min<std::uint64_t>(std::uint64_t{requests_.LastStatus().blocksProgrammed} * kBlockSize, image.size),
              image.size);
  (void)detail;
  return true;
}

bool FlashEngine::WriteSector(const SectorEntry& sector, const ImageBuffer& image, ProgramOption option,
                              std::string& detail) {
  if (option == ProgramOption::EraseSectors) {
    if (!WaitCommandSlot(detail)) return Fail(detail, "Failed waiting for a command slot\n");
    if (!requests_.EraseSector(sector.start, sector.size)) return Fail(detail, "Failed requesting sector erase\n");
  }
  const std::uint64_t imageEnd = std::uint64_t{image.adjustedLow} + image.size;
  for (std::uint32_t offset = sector.start; offset - sector.start < sector.size; offset += kBlockSize) {
    if (offset < image.adjustedLow || offset >= imageEnd) continue;
    const std::uint32_t index = (offset - image.adjustedLow) / kBlockSize;
    if (image.blockMap[index]) {
      if (!WaitFreeTargetBuffer(detail)) return false;
      TargetStatus status;
      const std::size_t at = std::size_t{index} * kBlockSize;
      if (!requests_.DownloadAndWrite(offset, image.data.data() + at, kBlockSize, image.data.size() - at, coders_,
                                      status)) {
        return Fail(detail, "Download and write flash block request failed\n");
      }
      if (!CheckErrorFlag(status, detail)) return false;
      ++blocksSent_;
    }
    AfterBlock(offset, image, detail);
    if (image.blockMap[index]) {
      TargetTiming timing;
      if (!requests_.GetTiming(timing)) return false;
    }
  }
  return true;
}

bool FlashEngine::FetchFlashBlock(std::uint32_t offset, unsigned k, bool partial, std::uint8_t& buffer,
                                  std::string& detail) {
  if (k < targetBuffers_) {
    if (!WaitFreeTargetBuffer(detail)) return false;
    if (!WaitFreeSlots(commandSlots_, detail)) return Fail(detail, "Error while preparing read\n");
    TargetStatus status;
    if (!requests_.ReadToBuffer(offset, kBlockSize, buffer, status)) return Fail(detail, "Read flash block request failed\n");
    return CheckErrorFlag(status, detail);
  }
  if (!WaitFreeSlots(commandSlots_, detail)) {
    return Fail(detail, partial ? "Error while preparing upload\n" : "Error while preparing read\n");
  }
  if (!requests_.UploadBlock(offset, kBlockSize, ring_.Entry(ring_.write))) {
    return Fail(detail, "Upload flash block request failed\n");
  }
  return true;
}

bool FlashEngine::PreserveSector(const SectorEntry& sector, const ImageBuffer& image, std::string& detail) {
  const std::uint64_t imageEnd = std::uint64_t{image.adjustedLow} + image.size;
  const unsigned blocks = sector.size / kBlockSize;
  std::uint8_t firstBuffer = 0;
  for (unsigned k = 0; k < blocks; ++k) {
    const std::uint32_t offset = sector.start + k * kBlockSize;
    const bool inside = offset >= image.adjustedLow && offset < imageEnd;
    const std::uint32_t index = inside ? (offset - image.adjustedLow) / kBlockSize : 0;
    const std::size_t at = std::size_t{index} * kBlockSize;
    const bool whole = inside && BlockFullyValid(image, index);
    std::uint8_t buffer = 0;
    if (!whole) {
      if (!FetchFlashBlock(offset, k, inside, buffer, detail)) return false;
      if (inside) {
        for (const DataRun& run : NextDataSegment(image.valid.data() + at, kBlockSize)) {
          const std::uint8_t* bytes = image.data.data() + at + run.offset;
          if (k < targetBuffers_) {
            TargetStatus status;
            if (!requests_.UpdateBuffer(buffer, static_cast<std::uint16_t>(run.offset), bytes, run.length, status)) {
              return Fail(detail, "Update buffer block request failed\n");
            }
            if (!CheckErrorFlag(status, detail)) return false;
          } else {
            std::copy(bytes, bytes + run.length, ring_.Entry(ring_.write) + run.offset);
          }
        }
      }
    } else if (k < targetBuffers_) {
      if (!WaitFreeTargetBuffer(detail)) return false;
      TargetStatus status;
      if (!requests_.DownloadToBuffer(offset, image.data.data() + at, kBlockSize, image.data.size() - at, coders_,
                                      buffer, status)) {
        return Fail(detail, "Download buffer block request failed\n");
      }
      if (!CheckErrorFlag(status, detail)) return false;
    } else {
      std::copy_n(image.data.data() + at, kBlockSize, ring_.Entry(ring_.write));
    }
    if (k >= targetBuffers_) {
      ring_.offsets[ring_.write] = offset;
      ring_.write = (ring_.write + 1) % ring_.offsets.size();
    }
    if (k == 0) firstBuffer = buffer;
    ++blocksSent_;
    if (inside) AfterBlock(offset, image, detail);
    TargetTiming timing;
    if (!requests_.GetTiming(timing)) return false;
  }

  if (!WaitCommandSlot(detail)) return Fail(detail, "Failed waiting for a command slot\n");
  if (!requests_.EraseSector(sector.start, sector.size)) return Fail(detail, "Failed requesting sector erase\n");
  TargetStatus status;
  const unsigned group = std::min(blocks, targetBuffers_);
  if (!requests_.WriteGroup(firstBuffer, static_cast<std::uint8_t>(group), status)) {
    return Fail(detail, "Write block group request failed\n");
  }
  if (!CheckErrorFlag(status, detail)) return false;
  while (ring_.read != ring_.write) {
    if (!WaitFreeTargetBuffer(detail)) return false;
    if (!requests_.DownloadAndWrite(ring_.offsets[ring_.read], ring_.Entry(ring_.read), kBlockSize,
                                    ring_.Available(ring_.read), coders_, status)) {
      return Fail(detail, "Download and write flash block request failed\n");
    }
    if (!CheckErrorFlag(status, detail)) return false;
    ring_.read = (ring_.read + 1) % ring_.offsets.size();
  }
  return true;
}

bool FlashEngine::AwaitCompletion(std::string& detail) {
  ProgressWatch watch;
  for (;;) {
    const TargetStatus& known = requests_.LastStatus();
    if (known.errorFlag) return FailWithDetails(detail);
    if (known.blocksProgrammed == blocksSent_) break;
    TargetStatus status;
    if (!requests_.NoMoreBlocks(status)) return Fail(detail, "Failed to inform target about no more blocks to send\n");
    if (status.errorFlag) return FailWithDetails(detail);
    progress_.programmed = Percent(status.blocksProgrammed, blocksSent_);
    if (status.blocksProgrammed == blocksSent_) break;
    TargetTiming timing;
    if (!requests_.GetTiming(timing)) return false;
    if (watch.Stalled(StatusSignature(status))) return Fail(detail, NoProgressText());
    platform::SleepMs(kPollMs);
  }
  progress_.programmed = 100;
  return true;
}

bool FlashEngine::VerifyImage(const ImageBuffer& image, std::string& detail) {
  for (const DataRun& run : NextDataSegment(image.valid.data(), image.size)) {
    const std::uint16_t host = Crc16Update(image.data.data() + run.offset, run.length, kCrc16Seed);
    std::uint16_t target = kCrc16Seed;
    for (std::uint32_t done = 0; done < run.length;) {
      const std::uint32_t piece = std::min(kCrcPiece, run.length - done);
      if (!requests_.GetCrc16(image.adjustedLow + run.offset + done, piece, target, target)) {
        return Fail(detail, "Request for CRC16 from the target failed\n");
      }
      done += piece;
    }
    if (host != target) return Fail(detail, "CRC16 mismatch\n");
  }
  return true;
}

bool FlashEngine::ReadFlashBlocks(std::uint32_t offset, std::uint8_t* data, std::uint32_t count) {
  progress_.downloaded = 0;
  for (std::uint32_t done = 0; done < count; done += kBlockSize) {
    if (!requests_.UploadBlock(offset + done, kBlockSize, data + done)) return false;
    progress_.downloaded = Percent(std::uint64_t{done} + kBlockSize, count);
  }
  return true;
}

}  // namespace ambrel
