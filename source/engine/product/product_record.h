#pragma once
// The flash memory map of one product: its tag, its processor and its flash
// parts. The product-file parser fills it; partitions and sections are added
// to the flash part that was added last.

#include <string>
#include <vector>

#include "engine/product/flash_record.h"

class CProductRecord {
 public:
  static constexpr const char* kUnknownProcessor = "UNKNOWN";

  CProductRecord() = default;
  CProductRecord(const CProductRecord&) = default;
  CProductRecord& operator=(const CProductRecord&) = default;
  CProductRecord(CProductRecord&&) noexcept = default;
  CProductRecord& operator=(CProductRecord&&) noexcept = default;
  virtual ~CProductRecord() = default;

  // Back to the defaults: no name, no flash parts, processor "UNKNOWN".
  void Reset();
  // Appends a copy, makes it the current flash part and returns its index.
  int AddFlash(const CFlashRecord& flash);
  // Append to the current flash part; ignored while there is none.
  void AddPartition(const CPartitionRecord& partition);
  void AddSection(const CSectionRecord& section);

  std::string name;                     // the product tag as written in the header
  std::string processor = kUnknownProcessor;  // upper case
  std::vector<CFlashRecord> flashes;    // in file order
  int currentFlash = -1;                // index of the flash part being filled

  bool operator==(const CProductRecord&) const = default;

 private:
  CFlashRecord* CurrentFlash();
};
