#include "engine/product/copy_product_record.h"

void CopyProductRecord(const CProductRecord& product, SectorList& list) {
  list.sectors.clear();
  for (const CFlashRecord& flash : product.flashes) {
    for (const CSectionRecord& section : flash.sections) {
      if (section.sectorSize == 0) continue;
      for (std::uint32_t k = 0; k < section.numSectors; ++k) {
        list.sectors.push_back(SectorEntry{section.address + k * section.sectorSize, section.sectorSize,
                                           section.type, 0});
      }
    }
  }
  list.magicKeyPartition = kDefaultMagicKeyPartition;
  list.processorName = product.processor;
}
