// The RAM dump of a CKernel: no flashing kernel, but the radio's running
// firmware over serial-bus short frames. The firmware announces its RAM
// regions; each is read in pieces of at most 512 bytes and appended to the
// list with a new registry buffer.

#include "engine/link/kernel_ram_dump.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/core/buffer_registry.h"
#include "engine/core/region_list.h"
#include "engine/link/kernel.h"
#include "engine/link/kernel_op_requests.h"
#include "engine/link/kernel_read_back.h"
#include "platform/tick.h"

namespace {

constexpr std::uint8_t kRefusedMarker = 6;
constexpr std::uint8_t kRamReadReply = 0xB3;
constexpr std::size_t kShortReadFrame = 4;
constexpr std::size_t kExtendedDataOffset = 5;
constexpr std::uint32_t kExtendedLengthExtra = 2;
constexpr std::uint8_t kFourRegions = 4;
constexpr std::uint8_t kFallbackRegions = 2;
constexpr int kRamPolls = 1000;
constexpr int kRamRetries = 3;
constexpr std::uint32_t kRetryPauseMs = 10;
// Room for the largest read reply: header, 3-byte length, 512 data bytes
// and the checksum, with room to spare.
constexpr std::size_t kRamReplyCapacity = 1024;

std::uint8_t ReplyKind(std::span<const std::uint8_t> reply) { return reply.size() > 1 ? reply[1] : 0; }

void RamTransact(CCommChannel& channel, const RamFrame& frame, std::vector<std::uint8_t>& reply, int repeats) {
  for (;;) {
    try {
      channel.Transact(frame.data(), frame.size(), reply.data(), reply.size(), kRamPolls, kRamRetries);
      return;
    } catch (ISP_EXCEPTION) {
      if (repeats-- <= 0) throw;
      platform::SleepMs(kRetryPauseMs);
    }
  }
}

// A registry buffer that is released unless it is handed on.
class RegistryBufferHold {
 public:
  explicit RegistryBufferHold(std::uint32_t size) : buffer_(GetBufferRegistry().Allocate(size)) {}
  ~RegistryBufferHold() {
    if (buffer_) GetBufferRegistry().Release(buffer_);
  }
  RegistryBufferHold(const RegistryBufferHold&) = delete;
  RegistryBufferHold& operator=(const RegistryBufferHold&) = delete;
  std::uint8_t* get() const { return buffer_; }
  std::uint8_t* release() { return std::exchange(buffer_, nullptr); }

 private:
  std::uint8_t* buffer_;
};

struct RamRegion {
  std::uint32_t start = 0;
  std::uint32_t size = 0;
};

// The number of regions, or a negative engine error.
int QueryRamRegionCount(CCommChannel& channel) {
  std::vector<std::uint8_t> reply(kRamReplyCapacity);
  RamTransact(channel, RamRegionCountFrame(), reply, 0);
  if (ReplyKind(reply) != kRamCountReply) return -UnexpectedRamReply(reply);
  int count = reply[2];
  if (count == kFourRegions) {
    // Radios that announce four regions but have only two do not answer
    // for the fourth.
    RamTransact(channel, RamRegionFrame(kFourRegions - 1), reply, 0);
    if (ReplyKind(reply) != kRamRegionReply) count = kFallbackRegions;
  }
  return count;
}

int QueryRamRegion(CCommChannel& channel, std::uint8_t index, RamRegion& region) {
  std::vector<std::uint8_t> reply(kRamReplyCapacity);
  RamTransact(channel, RamRegionFrame(index), reply, 0);
  if (ReplyKind(reply) != kRamRegionReply) return UnexpectedRamReply(reply);
  region.start = ReadBigEndian(reply, 2, 4);
  region.size = ReadBigEndian(reply, 6, 4);
  return RamRegionFits(region.start, region.size) ? KERNEL_OK : RAM_DUMP_BAD_REPLY;
}

}  // namespace

int UnexpectedRamReply(std::span<const std::uint8_t> reply) {
  return reply.size() > 2 && reply[2] == kRefusedMarker ? RAM_DUMP_UNEXPECTED_REPLY : RAM_DUMP_BAD_REPLY;
}

bool RamRegionFits(std::uint32_t start, std::uint32_t size) {
  return size != 0 && size <= kLargestRamRegion && std::uint64_t{start} + size <= (std::uint64_t{1} << 32);
}

int DecodeRamRead(std::span<const std::uint8_t> reply, std::uint8_t* out, std::uint32_t length) {
  if (reply.empty()) return RAM_DUMP_BAD_READ;
  if (reply[0] == 0xFF) {
    if (ReadBigEndian(reply, 1, 3) != length + kExtendedLengthExtra) return RAM_DUMP_BAD_READ;
    if (reply.size() < kExtendedDataOffset + length) return RAM_DUMP_BAD_READ;
    std::memcpy(out, reply.data() + kExtendedDataOffset, length);
    return KERNEL_OK;
  }
  // A short frame is a fill only when it is a read reply: a refusal comes
  // in the same shape and must not pass for RAM full of its marker byte.
  if ((reply[0] & 0x0F) == kShortReadFrame - 2 && (reply[0] & 0xF0) == 0xF0 && reply.size() >= kShortReadFrame &&
      reply[1] == kRamReadReply) {
    std::memset(out, reply[2], length);
    return KERNEL_OK;
  }
  return RAM_DUMP_BAD_READ;
}

int CKernel::StartRamDump(CRegionList* regions, int mode) {
  return StartOperation(mode, true, {EVENT_RAM_DUMP_DONE, EVENT_RAM_DUMP_CANCELLED, EVENT_RAM_DUMP_FAILED},
                        [this] { return RunRamDump(); }, regions);
}

int CKernel::RunRamDump() { return listA_ ? DumpRam(*listA_) : KERNEL_OK; }

int CKernel::DumpRam(CRegionList& list) {
  ReportProgress(EVENT_RAM_DUMP_PROGRESS, 0, 0);
  ReleaseListBuffers(list);
  list.RemoveAll();
  // The firmware speaks serial-bus frames on the RS232 port only.
  if (linkMode_ != kLinkRs232) return KERNEL_ERROR_INVALID_PROTOCOL;
  CCommChannel channel(CHANNEL_SERIAL_BUS_RAW, GetPortPath(comPort_),
                       static_cast<std::uint32_t>(HostRate(kKernelStartRate)), usbDeviceId_,
                       GetUsbInterfaceName(chipFamily_));
  const auto announce = RamAnnounceFrame();
  channel.Send(announce.data(), announce.size(), kRamAnnounceRetries);
  const int count = QueryRamRegionCount(channel);
  if (count < 0) return -count;

  std::int64_t total = 0;
  for (int n = 0; n < count; ++n) {
    RamRegion region;
    if (const int result = QueryRamRegion(channel, static_cast<std::uint8_t>(n), region); result != KERNEL_OK)
      return result;
    total += region.size;
  }
  ReportProgress(EVENT_RAM_DUMP_PROGRESS, 0, total);

  std::int64_t done = 0;
  std::vector<std::uint8_t> reply(kRamReplyCapacity);
  for (int n = 0; n < count; ++n) {
    RamRegion region;
    if (const int result = QueryRamRegion(channel, static_cast<std::uint8_t>(n), region); result != KERNEL_OK)
      return result;
    if (const int again = QueryRamRegionCount(channel); again < 0) return -again;
    RegistryBufferHold data(region.size);
    for (std::uint32_t offset = 0; offset < region.size;) {
      const std::uint32_t piece = std::min(kRamReadBlock, region.size - offset);
      const std::uint32_t address = region.start + offset;
      RamTransact(channel, RamReadFrame(address, piece), reply, kRamReadRepeats);
      if (const int result = DecodeRamRead(reply, data.get() + offset, piece); result != KERNEL_OK) {
        errorDetails_ = {};
        errorDetails_.detail1 = address;
        errorDetails_.detail2 = address + piece - 1;
        return result;
      }
      offset += piece;
      done += piece;
      ReportProgress(EVENT_RAM_DUMP_PROGRESS, done, total);
      if (TakeAbort()) return KERNEL_ERROR_CANCELLED;
    }
    list.Add(region.start, region.size, data.release());
  }
  return KERNEL_OK;
}
