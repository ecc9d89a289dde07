#include "platform/target_registry.h"

#include <mutex>
#include <unordered_map>

namespace platform {

namespace {

struct Entry {
  TargetKind kind;
  std::shared_ptr<MessageTarget> target;
};

struct Registry {
  std::mutex mutex;
  std::unordered_map<std::uint32_t, Entry> entries;
  std::uint32_t next = 0x100;  // small values stay free, 0 means none
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

std::shared_ptr<MessageTarget> Find(std::uint32_t handle, TargetKind kind) {
  auto& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  auto it = r.entries.find(handle);
  if (it == r.entries.end() || it->second.kind != kind) return nullptr;
  return it->second.target;
}

bool PostTo(std::uint32_t handle, TargetKind kind, Message& message) {
  auto target = Find(handle, kind);
  return target && target->Post(message);
}

}  // namespace

std::uint32_t RegisterTarget(TargetKind kind, std::shared_ptr<MessageTarget> target) {
  auto& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  std::uint32_t handle = r.next++;
  r.entries.emplace(handle, Entry{kind, std::move(target)});
  return handle;
}

void UnregisterTarget(std::uint32_t handle) {
  std::shared_ptr<MessageTarget> dropped;
  auto& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  auto it = r.entries.find(handle);
  if (it == r.entries.end()) return;
  dropped = std::move(it->second.target);
  r.entries.erase(it);
}

bool IsRegisteredThread(ThreadId id) { return Find(id, TargetKind::Thread) != nullptr; }
bool IsRegisteredWindow(WindowHandle handle) { return Find(handle, TargetKind::Window) != nullptr; }

bool PostThreadMessage(ThreadId id, Message message) { return PostTo(id, TargetKind::Thread, message); }
bool PostThreadMessage(ThreadId id, std::uint32_t number, WParam w, LParam l) {
  return PostThreadMessage(id, Message(number, w, l));
}
bool PostWindowMessage(WindowHandle window, Message message) {
  return PostTo(window, TargetKind::Window, message);
}
bool PostWindowMessage(WindowHandle window, std::uint32_t number, WParam w, LParam l) {
  return PostWindowMessage(window, Message(number, w, l));
}

}  // namespace platform
