#include "engine/flashpack/flashpack.h"

#include <algorithm>
#include <functional>

#include "engine/core/region_list.h"
#include "lumbrapack/pack_manager.h"

namespace {

constexpr int kFlashpacksNotExtracted = 79;
constexpr int kNoFlashpackFile = 88;
constexpr int kPackSuccess = 1;
constexpr int kFirstPackErrorCode = 80;

// Calls into the library; an exception counts as an unknown failure.
int Guarded(const std::function<int()>& call) {
  try {
    return call();
  } catch (...) {
    return kKernelUnknownError;
  }
}

}  // namespace

int MapPackResult(int answer) {
  if (answer == kPackSuccess) return kKernelOk;
  if (answer >= -9 && answer <= -1) return kFirstPackErrorCode - 1 - answer;
  return kKernelUnknownError;
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
  if (!packs) return kFlashpacksNotExtracted;
  if (!image) return kKernelOk;
  if (image->Empty()) return kNoFlashpackFile;
  int result = kKernelOk;
  for (const ImageRegion& region : *image) {
    result = Guarded([&] { return MapPackResult(packs->AddPack(region.buffer, region.length)); });
    if (result != kKernelOk) break;
  }
  return result;
}

int CFlashpack::RemovePacks(const std::vector<std::uint16_t>& indices) {
  std::shared_ptr<CPackManager> packs = SharePackManager();
  if (!packs) return kFlashpacksNotExtracted;
  // Highest first, so that no removal shifts an index still to be removed.
  std::vector<std::uint16_t> order(indices);
  std::sort(order.begin(), order.end(), std::greater<>());
  order.erase(std::unique(order.begin(), order.end()), order.end());
  int result = kKernelOk;
  for (std::uint16_t index : order) {
    result = Guarded([&] { return MapPackResult(packs->RemovePack(index)); });
    if (result != kKernelOk) break;
  }
  return result;
}

int CFlashpack::GetPackImage(std::vector<std::uint8_t>& image) {
  if (GetBusyState() != kKernelOk) return kKernelBusy;
  std::shared_ptr<CPackManager> packs = SharePackManager();
  if (!packs) return kFlashpacksNotExtracted;
  return Guarded([&] {
    image.assign(packs->ImageSize(), 0);
    return MapPackResult(packs->WriteImage(image.data(), static_cast<unsigned long>(image.size())));
  });
}
