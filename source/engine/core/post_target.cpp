#include "engine/core/post_target.h"

#include <array>
#include <atomic>

namespace {

// Read-mostly globals: written when threads and windows come and go, read by
// every post.
struct TargetTable {
  std::array<std::atomic<platform::ThreadId>, kWorkerThreadTargetCount> threads{};
  std::atomic<platform::WindowHandle> mainWindow{platform::kNoHandle};
  std::atomic<platform::WindowHandle> secondWindow{platform::kNoHandle};
};

TargetTable& Table() {
  static TargetTable table;
  return table;
}

bool IsWorkerThreadTarget(std::int32_t target) {
  return target >= PT_PREPROCESSING && target < kWorkerThreadTargetCount;
}

}  // namespace

int PostToTarget(std::int32_t target, platform::Message message) {
  if (IsWorkerThreadTarget(target)) {
    const platform::ThreadId id = GetTargetThreadId(target);
    if (id == platform::kNoHandle) return 0;
    return platform::PostThreadMessage(id, std::move(message)) ? 1 : 0;
  }
  platform::WindowHandle window = platform::kNoHandle;
  if (target == PT_MAIN_WINDOW) window = Table().mainWindow.load();
  if (target == PT_SECOND_WINDOW) window = Table().secondWindow.load();
  if (window == platform::kNoHandle) return 0;
  return platform::PostWindowMessage(window, std::move(message)) ? 1 : 0;
}

platform::ThreadId GetTargetThreadId(std::int32_t target) {
  if (!IsWorkerThreadTarget(target)) return platform::kNoHandle;
  return Table().threads[static_cast<std::size_t>(target)].load();
}

void SetTargetThread(std::int32_t target, platform::ThreadId id) {
  if (!IsWorkerThreadTarget(target)) return;
  Table().threads[static_cast<std::size_t>(target)].store(id);
}

void SetMainWindow(platform::WindowHandle window) { Table().mainWindow.store(window); }
void ClearMainWindow() { Table().mainWindow.store(platform::kNoHandle); }
void SetSecondWindow(platform::WindowHandle window) { Table().secondWindow.store(window); }
void ClearSecondWindow() { Table().secondWindow.store(platform::kNoHandle); }
