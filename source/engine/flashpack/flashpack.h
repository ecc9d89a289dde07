#pragma once
// The device object for work on a radio's FLASHPACK partition: it keeps the
// pack set built from the partition image with the flashpack library, adds
// packs from loaded pack files, removes packs, and gives the partition
// image that the current set makes. Its two operations on the radio are
// the extract (read the partition and build the pack set over it) and the
// extract, add and flash (read the partition, add the loaded packs, and
// write the new partition image back).
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

  // Reads the read list's first region (the FLASHPACK partition) and
  // builds the pack set over it; event EVENT_FLASHPACK_EXTRACT_PROGRESS,
  // closing EVENT_FLASHPACK_EXTRACT_DONE/CANCELLED/FAILED. The list travels
  // in the events, whose closing one releases it. KERNEL_ERROR_BUSY while
  // busy, KERNEL_ERROR_INVALID_OPERATING_MODE for a mode other than
  // kRunInline and kRunOnThread.
  int Extract(CRegionList* readList, int mode);
  // Reads the whole partition (the partition list's sectors from its first
  // address), builds the pack set over it, adds the image list's packs,
  // erases the partition list and programs the new partition image;
  // events EVENT_REVERSE_FLASH_PROGRESS, EVENT_FLASH_ERASE_PROGRESS and
  // EVENT_FLASH_PROGRESS, closing EVENT_FLASH_DONE/CANCELLED/FAILED. The
  // partition list travels as
  // list A (released by the closing event), the image list as list B.
  int ExtractAddFlash(CRegionList* partitionList, CRegionList* imageList, int mode);

  // Builds a new pack set over a partition image (the library keeps its own
  // copy) and puts it in place of the old one.
  void ReplacePackManager(const std::uint8_t* data, std::uint32_t length);

  // Adds the packs of the image's regions in list order until one is
  // refused; the mapped result of the last answer. FLASHPACKS_NOT_EXTRACTED
  // without a pack set, NO_FLASHPACK_FILE for an image without regions; a
  // null list gives KERNEL_OK.
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
  int RunExtract();
  int RunExtractAddFlash();
  int ReadPartition(std::uint32_t address, std::uint32_t length);
  int WritePackImage(std::vector<std::uint8_t>& image);

  mutable std::mutex packLock_;
  std::shared_ptr<CPackManager> packManager_;
  // The arguments of the running operation.
  CRegionList* readList_ = nullptr;
  CRegionList* partitionList_ = nullptr;
  CRegionList* imageList_ = nullptr;
};

// The engine error code of a pack manager's answer: 1 → 0, -1 .. -9 →
// 80 .. 88, anything else → 1.
int MapPackResult(int answer);
