#include "subscribers.h"

#include <algorithm>

namespace kovrin {

template <class Of>
bool Subscribers::SharedByOther(const Of& ofId, std::uint32_t handle, std::uint16_t except) {
  for (std::size_t id = 0; id < ofId.size(); ++id) {
    if (id != except && ofId[id] == handle) return true;
  }
  return false;
}

template <class List>
bool Subscribers::AddToList(List& list, std::uint32_t handle) {
  if (std::find(list.begin(), list.end(), handle) != list.end()) return true;
  auto free = std::find(list.begin(), list.end(), platform::kNoHandle);
  if (free == list.end()) return false;
  *free = handle;
  return true;
}

template <class List>
void Subscribers::RemoveFromList(List& list, std::uint32_t handle) {
  std::replace(list.begin(), list.end(), handle, platform::kNoHandle);
}

void Subscribers::DropWindowLocked(std::uint16_t appId) {
  const auto window = windowOf_[appId];
  if (window == platform::kNoHandle) return;
  if (!SharedByOther(windowOf_, window, appId)) RemoveFromList(windowList_, window);
  windowOf_[appId] = platform::kNoHandle;
}

int Subscribers::SetWindow(std::uint16_t appId, platform::WindowHandle window) {
  if (!ValidId(appId)) return 0;
  std::lock_guard lock(mutex_);
  if (window == platform::kNoHandle) return windowOf_[appId] == platform::kNoHandle ? 1 : 0;
  if (windowOf_[appId] == window) return 1;
  if (!AddToList(windowList_, window)) return 0;
  // A window the application used before is unlisted unless another shares it.
  DropWindowLocked(appId);
  windowOf_[appId] = window;
  return 1;
}

int Subscribers::ClearWindow(std::uint16_t appId, platform::WindowHandle window) {
  if (!ValidId(appId)) return 0;
  std::lock_guard lock(mutex_);
  if (window != platform::kNoHandle && !SharedByOther(windowOf_, window, appId))
    RemoveFromList(windowList_, window);
  windowOf_[appId] = platform::kNoHandle;
  return 1;
}

int Subscribers::SubscribeThread(std::uint16_t appId, platform::ThreadId thread) {
  if (!ValidId(appId) || thread == platform::kNoHandle) return 0;
  std::lock_guard lock(mutex_);
  if (!AddToList(threadList_, thread)) return 0;
  const auto before = threadOf_[appId];
  threadOf_[appId] = thread;
  if (before != platform::kNoHandle && before != thread &&
      !SharedByOther(threadOf_, before, appId))
    RemoveFromList(threadList_, before);
  return 1;
}

int Subscribers::UnsubscribeThread(std::uint16_t appId) {
  if (!ValidId(appId)) return 0;
  std::lock_guard lock(mutex_);
  const auto thread = threadOf_[appId];
  threadOf_[appId] = platform::kNoHandle;
  if (thread != platform::kNoHandle && !SharedByOther(threadOf_, thread, appId))
    RemoveFromList(threadList_, thread);
  return 1;
}

int Subscribers::SetEvent(std::uint16_t appId, platform::Event* event) {
  if (!ValidId(appId)) return 0;
  std::lock_guard lock(mutex_);
  eventOf_[appId] = event;
  return 1;
}

void Subscribers::Forget(std::uint16_t appId) {
  if (!ValidId(appId)) return;
  std::lock_guard lock(mutex_);
  DropWindowLocked(appId);
  eventOf_[appId] = nullptr;
}

Subscribers::Lists Subscribers::Take() const {
  std::lock_guard lock(mutex_);
  return Lists{windowList_, threadList_};
}

void Subscribers::SetAllEvents() {
  std::lock_guard lock(mutex_);
  for (auto* event : eventOf_) {
    if (event) event->Set();
  }
}

platform::WindowHandle Subscribers::WindowOf(std::uint16_t appId) const {
  if (!ValidId(appId)) return platform::kNoHandle;
  std::lock_guard lock(mutex_);
  return windowOf_[appId];
}

platform::ThreadId Subscribers::ThreadOf(std::uint16_t appId) const {
  if (!ValidId(appId)) return platform::kNoHandle;
  std::lock_guard lock(mutex_);
  return threadOf_[appId];
}

platform::Event* Subscribers::EventOf(std::uint16_t appId) const {
  if (!ValidId(appId)) return nullptr;
  std::lock_guard lock(mutex_);
  return eventOf_[appId];
}

}  // namespace kovrin
