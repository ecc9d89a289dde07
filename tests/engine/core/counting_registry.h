#pragma once
// Watches the program-wide buffer registry during one test: counts the
// frees per buffer and checks at the end that nothing registered was left
// behind by the test.

#include <gtest/gtest.h>

#include <map>
#include <mutex>

#include "engine/core/buffer_registry.h"
#include "engine/core/region_list.h"

class CountingRegistry {
 public:
  CountingRegistry() : before_(GetBufferRegistry().Size()) {
    GetBufferRegistry().SetFreeObserver([this](const std::uint8_t* b) {
      std::lock_guard lock(mutex_);
      ++frees_[b];
      ++total_;
    });
  }
  ~CountingRegistry() { GetBufferRegistry().SetFreeObserver(nullptr); }

  int FreesOf(const std::uint8_t* buffer) const {
    std::lock_guard lock(mutex_);
    auto it = frees_.find(buffer);
    return it == frees_.end() ? 0 : it->second;
  }
  int TotalFrees() const {
    std::lock_guard lock(mutex_);
    return total_;
  }
  // Forgets the counts (a freed buffer's address may come back from the
  // allocator for a new buffer).
  void ResetCounts() {
    std::lock_guard lock(mutex_);
    frees_.clear();
  }
  // Registered buffers that the test added and did not release.
  std::size_t Outstanding() const { return GetBufferRegistry().Size() - before_; }

 private:
  std::size_t before_;
  mutable std::mutex mutex_;
  std::map<const std::uint8_t*, int> frees_;
  int total_ = 0;
};

// A region list of count regions, each with a fresh registry buffer filled
// with its index.
inline RegionListPtr MakeFilledList(int count, std::uint32_t length = 16) {
  RegionListPtr list = MakeRegionList();
  for (int i = 0; i < count; ++i) {
    std::uint8_t* buffer = GetBufferRegistry().Allocate(length);
    for (std::uint32_t b = 0; b < length; ++b) buffer[b] = static_cast<std::uint8_t>(i * 16 + b);
    list->Add(0x10000u * static_cast<std::uint32_t>(i + 1), length, buffer);
  }
  return list;
}
