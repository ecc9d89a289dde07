#include "engine/product/product_record.h"

void CProductRecord::Reset() {
  name.clear();
  processor = kUnknownProcessor;
  flashes.clear();
  currentFlash = -1;
}

int CProductRecord::AddFlash(const CFlashRecord& flash) {
  flashes.push_back(flash);
  currentFlash = static_cast<int>(flashes.size()) - 1;
  return currentFlash;
}

void CProductRecord::AddPartition(const CPartitionRecord& partition) {
  if (CFlashRecord* flash = CurrentFlash()) flash->partitions.push_back(partition);
}

void CProductRecord::AddSection(const CSectionRecord& section) {
  if (CFlashRecord* flash = CurrentFlash()) flash->sections.push_back(section);
}

CFlashRecord* CProductRecord::CurrentFlash() {
  if (currentFlash < 0 || static_cast<std::size_t>(currentFlash) >= flashes.size()) return nullptr;
  return &flashes[static_cast<std::size_t>(currentFlash)];
}
