// The flash operation of a CKernel: erase the erase list's ranges, then
// program the program list's regions request by request, each waiting for
// its reply; the kernel verifies what it writes and reports a mismatch in
// its status. A successful flash ends with the magic key when the object
// asks for it.

#include "engine/link/kernel_flash.h"

#include <vector>

#include "engine/link/kernel.h"
#include "engine/link/kernel_flash_cursor.h"
#include "engine/link/kernel_op_requests.h"

std::int64_t RegionListTotal(const CRegionList* list) {
  std::int64_t total = 0;
  if (list)
    for (const auto& region : *list) total += region.length;
  return total;
}

bool ProgramListHasData(const CRegionList* list) {
  if (list)
    for (const auto& region : *list)
      if (region.length != 0 && region.buffer == nullptr) return false;
  return true;
}

namespace {

int CountOf(const CRegionList* list) { return list ? static_cast<int>(list->Count()) : 0; }

}  // namespace

int CKernel::StartFlash(CRegionList* eraseList, CRegionList* programList, int mode) {
  return StartOperation(mode, true, {EVENT_FLASH_DONE, EVENT_FLASH_CANCELLED, EVENT_FLASH_FAILED},
                        [this] { return RunFlash(); }, eraseList, programList);
}

int CKernel::RunFlash() {
  const CRegionList* eraseList = listA_;
  const CRegionList* programList = listB_;
  // With nothing to erase or program there is nothing to send, and no
  // magic key either: a flash that wrote nothing has not earned it.
  if (!eraseList && !programList) return KERNEL_OK;
  // A region without its bytes is refused before anything is erased.
  if (!ProgramListHasData(programList)) return KERNEL_ERROR_UNKNOWN;
  int result = OpenKernelLink();
  if (result == KERNEL_OK) result = EraseSectors(eraseList);
  if (result == KERNEL_OK) result = ProgramRegions(programList);
  if (result == KERNEL_OK && autoMagicKey_ == 1) result = ProgramMagicKey();
  return result;
}

int CKernel::EraseSectors(const CRegionList* eraseList) {
  const int count = CountOf(eraseList);
  if (count < 1) return KERNEL_OK;
  auto channel = OpenKernelChannel();
  std::vector<std::uint8_t> reply(kKernelReplyCapacity);
  int result = KERNEL_OK;
  int handled = 0;
  for (; handled < count && result == KERNEL_OK; ++handled) {
    const ImageRegion& entry = (*eraseList)[static_cast<std::size_t>(handled)];
    ReportProgress(EVENT_FLASH_ERASE_PROGRESS, handled, count);
    const bool cancelled = TakeAbort();
    // An empty range has no last address (it would wrap to the top of
    // the address space): there is nothing to erase.
    if (entry.length != 0) {
      const auto request = EraseRequest(entry.address, entry.address + entry.length - 1);
      channel->Transact(request.data(), request.size(), reply.data(), reply.size(), kErasePolls, kEraseRetries);
      if (reply[kReplyStatusOffset] != 0) result = QueryTargetStatus(*channel);
    }
    if (cancelled && result == KERNEL_OK) result = KERNEL_ERROR_CANCELLED;
  }
  ReportProgress(EVENT_FLASH_ERASE_PROGRESS, handled, count);
  if (result == KERNEL_OK && TakeAbort()) result = KERNEL_ERROR_CANCELLED;
  return result;
}

int CKernel::ProgramRegions(const CRegionList* programList) {
  if (CountOf(programList) < 1) return KERNEL_OK;
  const std::int64_t total = RegionListTotal(programList);
  ReportProgress(EVENT_FLASH_PROGRESS, 0, total);
  if (TakeAbort()) return KERNEL_ERROR_CANCELLED;
  auto channel = OpenKernelChannel();
  std::vector<std::uint8_t> request(kProgramHeaderBytes + kMaxProgramBlock);
  std::vector<std::uint8_t> reply(kKernelReplyCapacity);
  std::int64_t done = 0;
  int result = KERNEL_OK;
  for (const auto& entry : *programList) {
    if (result != KERNEL_OK) break;
    FlashBlockCursor cursor(entry.length, entry.address, entry.buffer, false);
    while (!cursor.IsFinished() && result == KERNEL_OK) {
      cursor.NextBlock(request.data());
      channel->Transact(request.data(), cursor.BlockLength() + kProgramHeaderBytes, reply.data(), reply.size(),
                        kProgramPolls, kProgramRetries);
      if (reply[kReplyStatusOffset] != 0) {
        result = QueryTargetStatus(*channel);
        break;
      }
      done += cursor.BlockConsumed();
      ReportProgress(EVENT_FLASH_PROGRESS, done, total);
      if (TakeAbort()) result = KERNEL_ERROR_CANCELLED;
    }
  }
  return result;
}
