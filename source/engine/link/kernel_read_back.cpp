// The read-back operations of a CKernel: the reverse flash reads flash
// ranges block by block through the kernel; the data-area (FDI) variant
// reads only the used front and back part of each unit of the configured
// data area. Every buffer that a read fills is a registry buffer stored in
// the list, owned from then on by the list's owner.

#include "engine/link/kernel_read_back.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "engine/core/buffer_registry.h"
#include "engine/link/kernel_flash.h"
#include "engine/link/kernel_op_requests.h"
#include "platform/tick.h"

namespace {

constexpr std::uint8_t kCodingRaw = 0;
constexpr std::uint8_t kCodingRun = 1;
constexpr std::uint32_t kRunDataLength = 3;
constexpr std::uint32_t kRetryPauseMs = 10;

// One transaction of a read, repeated after 10 ms while the link fails
// and repeats remain.
void ReadTransactWithRetry(CCommChannel& channel, const KernelRequest& request, std::vector<std::uint8_t>& reply,
                           int repeats) {
  for (;;) {
    try {
      channel.Transact(request.data(), request.size(), reply.data(), reply.size(), kReadPolls, kReadRetries);
      return;
    } catch (ISP_EXCEPTION) {
      if (repeats-- <= 0) throw;
      platform::SleepMs(kRetryPauseMs);
    }
  }
}

std::uint8_t* AllocateBuffer(std::uint32_t length) { return GetBufferRegistry().Allocate(length == 0 ? 1 : length); }

}  // namespace

int DecodeReadReply(std::span<const std::uint8_t> reply, std::uint8_t* out, std::uint32_t asked) {
  if (reply.size() < kReadDataOffset) return KERNEL_ERROR_READ_DECODE_FAILED;
  const std::uint32_t length = ReadBigEndian(reply, kReadLengthOffset, 2);
  const auto data = reply.subspan(kReadDataOffset);
  switch (reply[kReadCodingOffset]) {
    case kCodingRaw:
      if (length != asked || length > data.size()) return KERNEL_ERROR_READ_DECODE_FAILED;
      if (length) std::memcpy(out, data.data(), length);
      return KERNEL_OK;
    case kCodingRun: {
      if (length != kRunDataLength || data.size() < kRunDataLength) return KERNEL_ERROR_READ_DECODE_FAILED;
      const std::uint32_t count = ReadBigEndian(data, 1, 2);
      if (count != asked) return KERNEL_ERROR_READ_DECODE_FAILED;
      std::memset(out, data[0], count);
      return KERNEL_OK;
    }
    default:
      return KERNEL_ERROR_READ_DECODE_FAILED;
  }
}

bool IsFdiEntry(const ImageRegion& entry, const FdiRegion& area) {
  // The unit count travels in 16 bits: a larger area is not one the kernel
  // can be told of.
  if (area.base == 0 || area.unitSize == 0 || area.unitCount == 0 || area.unitCount > 0xFFFF) return false;
  const std::uint64_t areaEnd = std::uint64_t{area.base} + std::uint64_t{area.unitSize} * area.unitCount;
  const std::uint64_t entryEnd = std::uint64_t{entry.address} + entry.length;
  return entry.address >= area.base && entryEnd <= areaEnd && entry.length % area.unitSize == 0 &&
         (entry.address - area.base) % area.unitSize == 0;
}

bool FdiPartsFitUnit(const FdiUnitParts& parts, std::uint32_t unitSize, std::uint32_t& backOffset) {
  if (parts.frontLength > unitSize) return false;
  if (parts.backLength == 0) {
    backOffset = 0;
    return true;
  }
  if (parts.backAddress < parts.kernelBase) return false;
  const std::uint32_t offset = parts.backAddress - parts.kernelBase;
  if (offset > unitSize || parts.backLength > unitSize - offset || offset < parts.frontLength) return false;
  backOffset = offset;
  return true;
}

void ReleaseListBuffers(CRegionList& list) {
  std::set<std::uint8_t*> released;
  for (auto& region : list) {
    if (region.buffer && released.insert(region.buffer).second) GetBufferRegistry().Release(region.buffer);
    region.buffer = nullptr;
  }
}

std::uint32_t CKernel::ReadBlockSize() const { return linkMode_ == kLinkUsb ? kUsbReadBlock : kSerialReadBlock; }

int CKernel::StartReverseFlash(CRegionList* regions, int mode) {
  return StartOperation(mode, true,
                        {EVENT_REVERSE_FLASH_DONE, EVENT_REVERSE_FLASH_CANCELLED, EVENT_REVERSE_FLASH_FAILED},
                        [this] { return RunReverseFlash(); }, regions);
}

int CKernel::StartFdiReverseFlash(CRegionList* regions, int mode) {
  return StartOperation(mode, true,
                        {EVENT_REVERSE_FLASH_DONE, EVENT_REVERSE_FLASH_CANCELLED, EVENT_REVERSE_FLASH_FAILED},
                        [this] { return RunFdiReverseFlash(); }, regions);
}

int CKernel::RunReverseFlash() {
  if (!listA_) return KERNEL_OK;
  const int result = OpenKernelLink();
  return result == KERNEL_OK ? ReadRegions(*listA_, EVENT_REVERSE_FLASH_PROGRESS) : result;
}

int CKernel::ReadBlock(CCommChannel& channel, std::uint8_t* out, std::uint32_t length, std::uint32_t address) {
  const auto request = ReadRequest(address, static_cast<std::uint16_t>(length));
  std::vector<std::uint8_t> reply(kKernelReplyCapacity);
  ReadTransactWithRetry(channel, request, reply, kKernelReadRepeats);
  if (reply[kReplyStatusOffset] != 0) return QueryTargetStatus(channel);
  return DecodeReadReply(reply, out, length);
}

int CKernel::ReadRegions(CRegionList& list, DeviceEventCode code) {
  const std::int64_t total = RegionListTotal(&list);
  ReportProgress(code, 0, total);
  ReleaseListBuffers(list);
  auto channel = OpenKernelChannel();
  std::int64_t done = 0;
  for (auto& entry : list) {
    entry.buffer = AllocateBuffer(entry.length);
    if (const int result = ReadRange(*channel, code, entry.buffer, entry.address, entry.length, done, total);
        result != KERNEL_OK)
      return result;
  }
  return KERNEL_OK;
}

int CKernel::ReadRange(CCommChannel& channel, DeviceEventCode code, std::uint8_t* out, std::uint32_t address,
                       std::uint32_t length, std::int64_t& done, std::int64_t total) {
  const std::uint32_t blockSize = ReadBlockSize();
  for (std::uint32_t offset = 0; offset < length;) {
    const std::uint32_t block = std::min(blockSize, length - offset);
    if (const int result = ReadBlock(channel, out + offset, block, address + offset); result != KERNEL_OK)
      return result;
    offset += block;
    done += block;
    ReportProgress(code, done, total);
    if (abort_.load()) return KERNEL_ERROR_CANCELLED;
  }
  return KERNEL_OK;
}

int CKernel::RunFdiReverseFlash() {
  if (!listA_) return KERNEL_OK;
  // The list's old buffers go once, here; the working copy starts without
  // buffers, so neither list is left holding a buffer already released.
  ReleaseListBuffers(*listA_);
  CRegionList working;
  for (const auto& entry : *listA_) working.Add(entry);
  int result = OpenKernelLink();
  if (result == KERNEL_OK) {
    try {
      result = ReadRegionsFdi(working);
    } catch (...) {
      ReleaseListBuffers(working);
      throw;
    }
  }
  if (result != KERNEL_OK) {
    ReleaseListBuffers(working);
    return result;
  }
  listA_->RemoveAll();
  for (const auto& entry : working) listA_->Add(entry);
  return KERNEL_OK;
}

bool CKernel::QueryFdiRegion(CCommChannel& channel, std::uint16_t& value1, std::uint16_t& value2) {
  const auto request =
      FdiRegionRequest(fdiRegion_.base, fdiRegion_.unitSize, static_cast<std::uint16_t>(fdiRegion_.unitCount));
  std::vector<std::uint8_t> reply(kKernelReplyCapacity);
  try {
    channel.Transact(request.data(), request.size(), reply.data(), reply.size(), kFdiRegionPolls, kFdiRegionRetries);
  } catch (ISP_EXCEPTION) {
    return false;
  }
  if (reply[kReplyStatusOffset] != 0) return false;
  value1 = static_cast<std::uint16_t>(ReadBigEndian(reply, 3, 2));
  value2 = static_cast<std::uint16_t>(ReadBigEndian(reply, 5, 2));
  return true;
}

bool CKernel::QueryFdiUnit(CCommChannel& channel, std::uint32_t unitAddress, std::uint16_t value1,
                           std::uint16_t value2, FdiUnitParts& parts) {
  const auto request = FdiUnitRequest(unitAddress, fdiRegion_.unitSize, value1, value2);
  std::vector<std::uint8_t> reply(kKernelReplyCapacity);
  try {
    channel.Transact(request.data(), request.size(), reply.data(), reply.size(), kFdiUnitPolls, kFdiUnitRetries);
  } catch (ISP_EXCEPTION) {
    return false;
  }
  if (reply[kReplyStatusOffset] != 0) return false;
  parts.kernelBase = ReadBigEndian(reply, 3, 4);
  parts.frontLength = ReadBigEndian(reply, 7, 4);
  parts.backAddress = ReadBigEndian(reply, 11, 4);
  parts.backLength = ReadBigEndian(reply, 15, 4);
  return true;
}

int CKernel::ReadRegionsFdi(CRegionList& list) {
  const std::int64_t total = RegionListTotal(&list);
  ReportProgress(EVENT_REVERSE_FLASH_PROGRESS, 0, total);
  ReleaseListBuffers(list);
  auto channel = OpenKernelChannel();
  CRegionList result;
  std::int64_t done = 0;
  bool areaKnown = false;
  bool areaAnswered = false;
  std::uint16_t value1 = 0;
  std::uint16_t value2 = 0;
  // Every buffer read so far goes into the list, so a failure half-way
  // leaves nothing that its owner does not free.
  auto readInto = [&](std::uint32_t address, std::uint32_t length) {
    std::uint8_t* buffer = AllocateBuffer(length);
    result.Add(address, length, buffer);
    return ReadRange(*channel, EVENT_REVERSE_FLASH_PROGRESS, buffer, address, length, done, total);
  };
  auto finish = [&](int code) {
    list.RemoveAll();
    for (const auto& entry : result) list.Add(entry);
    return code;
  };
  for (const auto entry : std::vector<ImageRegion>(list.begin(), list.end())) {
    const bool fdi = IsFdiEntry(entry, fdiRegion_);
    if (fdi && !areaKnown) {
      areaAnswered = QueryFdiRegion(*channel, value1, value2);
      areaKnown = areaAnswered && value1 != 0;
    }
    if (!fdi || !areaAnswered) {
      if (const int code = readInto(entry.address, entry.length); code != KERNEL_OK) return finish(code);
      continue;
    }
    const std::uint32_t unitSize = fdiRegion_.unitSize;
    for (std::uint32_t unit = entry.address; unit - entry.address < entry.length; unit += unitSize) {
      FdiUnitParts parts;
      std::uint32_t backOffset = 0;
      if (!QueryFdiUnit(*channel, unit, value1, value2, parts) || !FdiPartsFitUnit(parts, unitSize, backOffset)) {
        if (const int code = readInto(unit, unitSize); code != KERNEL_OK) return finish(code);
        continue;
      }
      if (parts.frontLength != 0)
        if (const int code = readInto(unit, parts.frontLength); code != KERNEL_OK) return finish(code);
      if (parts.backLength != 0)
        if (const int code = readInto(unit + backOffset, parts.backLength); code != KERNEL_OK) return finish(code);
      done += unitSize - parts.frontLength - parts.backLength;
      ReportProgress(EVENT_REVERSE_FLASH_PROGRESS, done, total);
      if (abort_.load()) return finish(KERNEL_ERROR_CANCELLED);
    }
  }
  return finish(KERNEL_OK);
}
