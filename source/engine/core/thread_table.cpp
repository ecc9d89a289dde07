#include "engine/core/thread_table.h"

#include <array>
#include <mutex>

#include "engine/core/post_target.h"

namespace {

struct ThreadTable {
  std::mutex lock;
  std::array<platform::WorkerThread*, kWorkerThreadTargetCount> threads{};
};

ThreadTable& Table() {
  static ThreadTable table;
  return table;
}

bool InRange(std::int32_t target) { return target >= 0 && target < kWorkerThreadTargetCount; }

}  // namespace

void SetTargetThreadObject(std::int32_t target, platform::WorkerThread* thread) {
  if (!InRange(target)) return;
  std::lock_guard guard(Table().lock);
  Table().threads[static_cast<std::size_t>(target)] = thread;
}

platform::WorkerThread* GetTargetThreadObject(std::int32_t target) {
  if (!InRange(target)) return nullptr;
  std::lock_guard guard(Table().lock);
  return Table().threads[static_cast<std::size_t>(target)];
}
