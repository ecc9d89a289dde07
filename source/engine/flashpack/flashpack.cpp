#include "engine/flashpack/flashpack.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>

#include "engine/core/kernel_error_code.h"
#include "engine/core/region_list.h"
#include "engine/link/kernel_flash.h"
#include "engine/link/kernel_read_back.h"
#include "lumbrapack/pack_manager.h"

namespace {

constexpr int kPackSuccess = 1;

// Calls into the library; an exception counts as an unknown failure.
int Guarded(const std::function<int()>& call) {
  try {
    return call();
  } catch (...) {
    return KERNEL_ERROR_UNKNOWN;
  }
}

}  // namespace

int MapPackResult(int answer) {
  if (answer == kPackSuccess) return KERNEL_OK;
  if (answer >= -9 && answer <= -1) return FLASHPACK_FIRST_PACK_ERROR - 1 - answer;
  return KERNEL_ERROR_UNKNOWN;
}

CFlashpack::CFlashpack(const KernelSettingsRecord& settings) : CKernel(settings) {}

CFlashpack::~CFlashpack() = default;

void CFlashpack::ReplacePackManager(const std::uint8_t* data, std::uint32_t length) {
  auto fresh = std::make_shared<CPackManager>(data, length, 0, 0, 0, 0, false);
  std::lock_guard lock(packLock_);
  packManager_ = std::move(fresh);
}

CPackManager* CFlashpack::GetPackManager() const {
  std::lock_guard lock(packLock_);
  return packManager_.get();
}

std::shared_ptr<CPackManager> CFlashpack::SharePackManager() const {
  std::lock_guard lock(packLock_);
  return packManager_;
}

int CFlashpack::AddPacks(const CRegionList* image) {
  std::shared_ptr<CPackManager> packs = SharePackManager();
  if (!packs) return FLASHPACKS_NOT_EXTRACTED;
  if (!image) return KERNEL_OK;
  if (image->Empty()) return NO_FLASHPACK_FILE;
  int result = KERNEL_OK;
  for (const ImageRegion& region : *image) {
    result = Guarded([&] { return MapPackResult(packs->AddPack(region.buffer, region.length)); });
    if (result != KERNEL_OK) break;
  }
  return result;
}

int CFlashpack::RemovePacks(const std::vector<std::uint16_t>& indices) {
  std::shared_ptr<CPackManager> packs = SharePackManager();
  if (!packs) return FLASHPACKS_NOT_EXTRACTED;
  // Highest first, so that no removal shifts an index still to be removed.
  std::vector<std::uint16_t> order(indices);
  std::sort(order.begin(), order.end(), std::greater<>());
  order.erase(std::unique(order.begin(), order.end()), order.end());
  int result = KERNEL_OK;
  for (std::uint16_t index : order) {
    result = Guarded([&] { return MapPackResult(packs->RemovePack(index)); });
    if (result != KERNEL_OK) break;
  }
  return result;
}

int CFlashpack::GetPackImage(std::vector<std::uint8_t>& image) {
  if (GetBusyState() != KERNEL_OK) return KERNEL_ERROR_BUSY;
  return WritePackImage(image);
}

int CFlashpack::WritePackImage(std::vector<std::uint8_t>& image) {
  std::shared_ptr<CPackManager> packs = SharePackManager();
  if (!packs) return FLASHPACKS_NOT_EXTRACTED;
  return Guarded([&] {
    image.assign(packs->ImageSize(), 0);
    return MapPackResult(packs->WriteImage(image.data(), static_cast<unsigned long>(image.size())));
  });
}

// ---- operations on the radio ----------------------------------------------------

int CFlashpack::Extract(CRegionList* readList, int mode) {
  // The arguments are the running operation's until it ends: a refused
  // start must not replace them.
  if (GetBusyState() != KERNEL_OK) return KERNEL_ERROR_BUSY;
  readList_ = readList;
  return StartOperation(
      mode, true,
      {EVENT_FLASHPACK_EXTRACT_DONE, EVENT_FLASHPACK_EXTRACT_CANCELLED, EVENT_FLASHPACK_EXTRACT_FAILED},
      [this] { return RunExtract(); }, readList);
}

int CFlashpack::RunExtract() {
  if (!readList_ || readList_->Empty()) return NO_FLASHPACK_ALLOCATION;
  int result = OpenKernelLink();
  if (result == KERNEL_OK) result = ReadRegions(*readList_, EVENT_FLASHPACK_EXTRACT_PROGRESS);
  if (result != KERNEL_OK) return result;
  const ImageRegion& partition = (*readList_)[0];
  return Guarded([&] {
    ReplacePackManager(partition.buffer, partition.length);
    return KERNEL_OK;
  });
}

int CFlashpack::ExtractAddFlash(CRegionList* partitionList, CRegionList* imageList, int mode) {
  if (GetBusyState() != KERNEL_OK) return KERNEL_ERROR_BUSY;
  partitionList_ = partitionList;
  imageList_ = imageList;
  return StartOperation(mode, true, {EVENT_FLASH_DONE, EVENT_FLASH_CANCELLED, EVENT_FLASH_FAILED},
                        [this] { return RunExtractAddFlash(); }, partitionList, imageList);
}

int CFlashpack::ReadPartition(std::uint32_t address, std::uint32_t length) {
  CRegionList partition;
  partition.Add(address, length);
  int result = KERNEL_OK;
  try {
    result = ReadRegions(partition, EVENT_REVERSE_FLASH_PROGRESS);
    if (result == KERNEL_OK) {
      result = Guarded([&] {
        ReplacePackManager(partition[0].buffer, partition[0].length);
        return KERNEL_OK;
      });
    }
  } catch (...) {
    ReleaseListBuffers(partition);
    throw;
  }
  // The pack manager keeps its own copy of the partition.
  ReleaseListBuffers(partition);
  return result;
}

int CFlashpack::RunExtractAddFlash() {
  const std::int64_t total = RegionListTotal(partitionList_);
  if (!partitionList_ || total <= 0 || total > std::numeric_limits<std::uint32_t>::max()) {
    return NO_FLASHPACK_ALLOCATION;
  }
  const std::uint32_t first = (*partitionList_)[0].address;
  int result = OpenKernelLink();
  if (result == KERNEL_OK) result = ReadPartition(first, static_cast<std::uint32_t>(total));
  if (result == KERNEL_OK) result = AddPacks(imageList_);
  std::vector<std::uint8_t> packImage;
  if (result == KERNEL_OK) result = WritePackImage(packImage);
  if (result != KERNEL_OK) return result;
  if (packImage.size() > static_cast<std::uint64_t>(total)) return MapPackResult(lumbrapack::kPackNoSpace);
  // The new partition image as a one-region image at the partition's start.
  CRegionList image;
  image.Add(first, static_cast<std::uint32_t>(packImage.size()), packImage.data());
  result = EraseSectors(partitionList_);
  if (result == KERNEL_OK) result = ProgramRegions(&image);
  return result;
}
