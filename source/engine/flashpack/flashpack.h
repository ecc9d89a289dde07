#pragma once
// The device object for work on a radio's FLASHPACK partition: it keeps the
// pack set built from the partition image with the flashpack library, adds
// packs from loaded pack files, removes packs, and gives the partition
// image that the current set makes.
//
// The pack manager is shared: the core thread changes it between jobs, and
// the pre-processing thread and the FlashPack Manager dialog read it. A
// reader takes a share (SharePackManager) that stays valid even when a new
// extract replaces the set; the object's own pointer is swapped under a
// lock.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/link/kernel.h"

class CPackManager;
class CRegionList;

class CFlashpack : public CKernel {
 public:
  explicit CFlashpack(const KernelSettingsRecord& settings);
  ~CFlashpack() override;

  // Builds a new pack set over a partition image (the library keeps its own
  // copy) and puts it in place of the old one.
  void ReplacePackManager(const std::uint8_t* data, std::uint32_t length);

  // Adds the packs of the image's regions in list order until one is
  // refused; the mapped result of the last answer. 79 without a pack set,
  // 88 for an image without regions; a null list gives 0.
  int AddPacks(const CRegionList* image);
  // Removes the packs from the highest index down, each index once,
  // whatever order the caller gives, until one is refused.
  int RemovePacks(const std::vector<std::uint16_t>& indices);
  // The partition image of the current set: 3 while an operation runs, 79
  // without a pack set; otherwise the mapped result of the write.
  int GetPackImage(std::vector<std::uint8_t>& image);

  // The pack set, borrowed (valid until the next extract replaces it).
  CPackManager* GetPackManager() const;
  // The pack set with a share of its own.
  std::shared_ptr<CPackManager> SharePackManager() const;

 private:
  mutable std::mutex packLock_;
  std::shared_ptr<CPackManager> packManager_;
};

// The engine error code of a pack manager's answer: 1 → 0, -1 .. -9 →
// 80 .. 88, anything else → 1.
int MapPackResult(int answer);
