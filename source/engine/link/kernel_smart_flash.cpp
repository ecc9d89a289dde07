// The smart flash of a CKernel: the kernel is switched into its buffered
// mode, the erase requests are queued without replies, and the program
// data are streamed as fast as the kernel's free buffer space allows,
// leading erased pairs of each block left out. At the end the host waits
// until the kernel has written everything and asks for the outcome. Every
// wait on the kernel looks at the abort flag and gives up when the kernel
// shows no change for the pacing's stall limit.

#include "engine/link/kernel_smart_flash.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/link/kernel.h"
#include "engine/link/kernel_flash.h"
#include "engine/link/kernel_flash_cursor.h"
#include "engine/link/kernel_op_requests.h"
#include "platform/tick.h"

namespace {

constexpr std::uint32_t kPauseSliceMs = 20;

}  // namespace

void SortRegionsByAddress(CRegionList& list) {
  std::stable_sort(list.begin(), list.end(),
                   [](const ImageRegion& a, const ImageRegion& b) { return a.address < b.address; });
}

StreamPiece PlanStreamPiece(std::uint32_t freeBytes, std::uint32_t rest) {
  const std::uint64_t overhead = std::uint64_t{freeBytes / kStreamFrameBytes} * kStreamFrameHeader + kStreamFrameHeader;
  if (overhead + rest <= freeBytes) return {rest, true};
  if (overhead >= freeBytes) return {0, false};
  return {static_cast<std::uint32_t>(freeBytes - overhead), false};
}

bool StallWatch::Stalled(std::int64_t value, std::uint32_t nowMs) {
  if (!last_ || *last_ != value) {
    last_ = value;
    sinceMs_ = nowMs;
    return false;
  }
  return nowMs - sinceMs_ >= limitMs_;
}

bool CKernel::PauseUnlessAborted(std::uint32_t ms) const {
  for (std::uint32_t slept = 0; slept < ms; slept += kPauseSliceMs) {
    if (abort_.load()) return true;
    platform::SleepMs(std::min(kPauseSliceMs, ms - slept));
  }
  return abort_.load() != 0;
}

int CKernel::StartSmartFlash(CRegionList* eraseList, CRegionList* programList, int mode) {
  return StartOperation(mode, true,
                        {EVENT_SMART_FLASH_DONE, EVENT_SMART_FLASH_CANCELLED, EVENT_SMART_FLASH_FAILED},
                        [this] { return RunSmartFlash(); }, eraseList, programList);
}

int CKernel::RunSmartFlash() {
  const CRegionList* eraseList = listA_;
  if (!eraseList && !listB_) return KERNEL_OK;
  if (!ProgramListHasData(listB_)) return KERNEL_ERROR_UNKNOWN;
  CRegionList working;
  if (listB_)
    for (const auto& entry : *listB_) working.Add(entry);
  int result = OpenKernelLink();
  if (result == KERNEL_OK) SortRegionsByAddress(working);
  if (result == KERNEL_OK) result = EnableSmartFlash();
  if (result == KERNEL_OK) result = SmartErase(eraseList);
  if (result == KERNEL_OK) result = StreamRegions(working);
  if (result == KERNEL_OK) result = FinishSmartFlash();
  if (result == KERNEL_OK) result = DisableSmartFlash(nullptr);
  if (result == KERNEL_ERROR_CANCELLED) {
    // The switch-off is a courtesy to the radio: a link that fails now
    // does not turn the cancel into a failure.
    try {
      DisableSmartFlash(nullptr);
    } catch (ISP_EXCEPTION) {
    }
  }
  if (result == KERNEL_OK && autoMagicKey_ == 1) result = ProgramMagicKey();
  return result;
}

int CKernel::EnableSmartFlash() {
  auto channel = OpenKernelChannel();
  const auto request = SmartFlashSwitchRequest(true);
  std::vector<std::uint8_t> reply(kKernelReplyCapacity);
  channel->Transact(request.data(), request.size(), reply.data(), reply.size(), kSmartOnPolls, kSmartOnRetries);
  if (reply[kReplyStatusOffset] != 0) return KERNEL_ERROR_SMART_ON_FAILED;
  return GetFreeBufferSpace(*channel, kernelBufferSize_);
}

int CKernel::GetFreeBufferSpace(CCommChannel& channel, std::uint32_t& freeBytes) {
  const auto request = FreeSpaceRequest();
  std::vector<std::uint8_t> reply(kKernelReplyCapacity);
  channel.Transact(request.data(), request.size(), reply.data(), reply.size(), kFreeSpacePolls, kFreeSpaceRetries);
  if (reply[kReplyStatusOffset] == 0) {
    freeBytes = ReadBigEndian(reply, kFreeSpaceOffset, 4);
    return KERNEL_OK;
  }
  DisableSmartFlash(&channel);
  return KERNEL_ERROR_NO_FREE_SPACE;
}

int CKernel::DisableSmartFlash(CCommChannel* channel) {
  std::unique_ptr<CCommChannel> own;
  if (!channel) {
    own = OpenKernelChannel();
    channel = own.get();
  }
  const auto request = SmartFlashSwitchRequest(false);
  std::vector<std::uint8_t> reply(kKernelReplyCapacity);
  channel->Transact(request.data(), request.size(), reply.data(), reply.size(), kSmartOffPolls, kSmartOffRetries);
  return reply[kReplyStatusOffset] != 0 ? KERNEL_ERROR_SMART_OFF_FAILED : KERNEL_OK;
}

int CKernel::SmartErase(const CRegionList* eraseList) {
  if (!eraseList || eraseList->Count() < 1) return KERNEL_OK;
  auto channel = OpenKernelChannel();
  const auto count = static_cast<std::int64_t>(eraseList->Count());
  for (std::int64_t i = 0; i < count; ++i) {
    const ImageRegion& entry = (*eraseList)[static_cast<std::size_t>(i)];
    // An empty range has no last address: nothing to erase.
    if (entry.length != 0) {
      const auto request = EraseRequest(entry.address, entry.address + entry.length - 1);
      channel->Send(request.data(), request.size(), kEraseRetries);
    }
    ReportProgress(EVENT_SMART_FLASH_ERASING, i, count);
    if (TakeAbort()) return KERNEL_ERROR_CANCELLED;
  }
  return KERNEL_OK;
}

int CKernel::StreamRegions(const CRegionList& sorted) {
  const std::int64_t total = RegionListTotal(&sorted);
  if (sorted.Empty()) return KERNEL_OK;
  ReportProgress(EVENT_SMART_FLASH_STREAMING, 0, total);
  if (TakeAbort()) return KERNEL_ERROR_CANCELLED;
  auto channel = OpenKernelChannel();
  std::vector<std::uint8_t> request(kProgramHeaderBytes + kMaxProgramBlock);
  std::int64_t streamed = 0;
  std::size_t entry = 0;
  std::uint32_t offset = 0;  // into the current entry
  StallWatch watch(smartPacing_.stallLimitMs, platform::GetTickCount());
  while (streamed < total && entry < sorted.Count()) {
    std::uint32_t freeBytes = 0;
    if (const int result = GetFreeBufferSpace(*channel, freeBytes); result != KERNEL_OK) return result;
    // A kernel whose buffer stays full is asked again after a pause; one
    // that never frees anything ends the flash instead of holding the
    // device for good.
    while (freeBytes < kStreamThreshold) {
      if (watch.Stalled(freeBytes, platform::GetTickCount())) return KERNEL_ERROR_NO_FREE_SPACE;
      if (PauseUnlessAborted(smartPacing_.fullWaitMs)) return CancelNow();
      if (const int result = GetFreeBufferSpace(*channel, freeBytes); result != KERNEL_OK) return result;
    }
    bool sent = false;
    while (freeBytes > kStreamThreshold && entry < sorted.Count()) {
      const ImageRegion& region = sorted[entry];
      const StreamPiece piece = PlanStreamPiece(freeBytes, region.length - offset);
      if (piece.length == 0 && !piece.wholeRest) break;
      std::vector<std::uint8_t> data(region.buffer + offset, region.buffer + offset + piece.length);
      FlashBlockCursor cursor(piece.length, region.address + offset, data.data(), true);
      while (!cursor.IsFinished()) {
        cursor.NextBlock(request.data());
        const std::uint32_t frame = cursor.BlockLength() + kProgramHeaderBytes;
        channel->Send(request.data(), frame, kStreamRetries);
        freeBytes = freeBytes > frame ? freeBytes - frame : 0;
        streamed += cursor.BlockConsumed();
        sent = true;
        ReportProgress(EVENT_SMART_FLASH_STREAMING, streamed, total);
        if (TakeAbort()) return KERNEL_ERROR_CANCELLED;
      }
      if (piece.wholeRest) {
        ++entry;
        offset = 0;
      } else {
        offset += piece.length;
      }
    }
    if (sent) {
      watch = StallWatch(smartPacing_.stallLimitMs, platform::GetTickCount());
    } else {
      // Nothing fitted this time: let the kernel write before asking again.
      if (watch.Stalled(freeBytes, platform::GetTickCount())) return KERNEL_ERROR_NO_FREE_SPACE;
      if (PauseUnlessAborted(smartPacing_.idleWaitMs)) return CancelNow();
    }
  }
  return KERNEL_OK;
}

int CKernel::FinishSmartFlash() {
  auto channel = OpenKernelChannel();
  std::uint32_t freeBytes = 0;
  if (const int result = GetFreeBufferSpace(*channel, freeBytes); result != KERNEL_OK) return result;
  const std::int64_t outstanding = std::int64_t{kernelBufferSize_} - freeBytes + kStreamFrameHeader;
  ReportProgress(EVENT_SMART_FLASH_PROGRESS, 0, outstanding);
  const auto end = EndOfDataRequest();
  channel->Send(end.data(), end.size(), kStreamRetries);

  // The drain: until the kernel's buffer holds nothing more to write.
  StallWatch drain(smartPacing_.stallLimitMs, platform::GetTickCount());
  for (;;) {
    if (const int result = GetFreeBufferSpace(*channel, freeBytes); result != KERNEL_OK) return result;
    const std::int64_t pending = std::max<std::int64_t>(0, std::int64_t{kernelBufferSize_} - freeBytes);
    ReportProgress(EVENT_SMART_FLASH_PROGRESS, std::max<std::int64_t>(0, outstanding - pending), outstanding);
    if (pending == 0) break;
    if (TakeAbort()) return KERNEL_ERROR_CANCELLED;
    if (drain.Stalled(pending, platform::GetTickCount())) return KERNEL_ERROR_NO_FREE_SPACE;
    if (PauseUnlessAborted(smartPacing_.drainWaitMs)) return CancelNow();
  }

  // The outcome: the kernel says 2 while it still writes.
  const auto poll = CompletionRequest();
  std::vector<std::uint8_t> reply(kKernelReplyCapacity);
  StallWatch completion(smartPacing_.stallLimitMs, platform::GetTickCount());
  for (;;) {
    channel->Transact(poll.data(), poll.size(), reply.data(), reply.size(), kCompletionPolls, kCompletionRetries);
    if (TakeAbort()) return KERNEL_ERROR_CANCELLED;
    if (reply[kCompletionStateOffset] != kCompletionBusy) break;
    if (completion.Stalled(kCompletionBusy, platform::GetTickCount())) return KERNEL_ERROR_NO_FREE_SPACE;
    platform::SleepMs(smartPacing_.completionWaitMs);
  }
  if (reply[kCompletionStateOffset] == kCompletionFailed) {
    DisableSmartFlash(channel.get());
    return QueryTargetStatus(*channel);
  }
  return KERNEL_OK;
}
