#include "port_watcher.h"

#include <chrono>

#include "async_reader.h"
#include "bisync_session.h"
#include "library_state.h"
#include "platform/serial_events.h"
#include "platform/timed_lock.h"

namespace gantrel {

PortWatcher::PortWatcher(std::uint16_t id) : id_(id) {
  auto& lib = Library();
  {
    std::lock_guard lock(lib.lock);
    if (auto set = lib.kovrin.entries().SetDeviceNotificationEvent) set(id_, &removal_);
  }
  thread_ = std::thread([this] { Run(); });
}

PortWatcher::~PortWatcher() { Stop(); }

void PortWatcher::Stop() {
  stop_.Set();
  if (thread_.joinable()) thread_.join();
}

bool PortWatcher::OwnDeviceGone() {
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  const LinkSlot& slot = lib.slots[id_];
  if (!slot.open || !slot.serial) return false;
  return platform::SerialDeviceGone(slot.serial->port(), slot.serial->path());
}

void PortWatcher::Run() {
  for (;;) {
    const int which = platform::WaitForAnyEvent({&stop_, &removal_}, platform::kInfinite);
    if (which != 1) break;
    removal_.ResetEvent();
    if (OwnDeviceGone()) {
      CloseRemovedLink(id_);
      break;
    }
  }
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  if (auto set = lib.kovrin.entries().SetDeviceNotificationEvent) set(id_, nullptr);
}

void CloseRemovedLink(std::uint16_t id) {
  auto& lib = Library();
  std::unique_ptr<AsyncReader> reader;
  std::shared_ptr<BisyncSession> bisync;
  std::shared_ptr<SerialLink> serial;
  {
    std::lock_guard lock(lib.lock);
    LinkSlot& slot = lib.slots[id];
    reader = std::move(slot.reader);
    bisync = std::move(slot.bisync);
    serial = std::move(slot.serial);
    slot.open = false;
    slot.mode = 0;
    slot.busType = 0;
  }
  if (reader) reader->Stop();
  if (bisync) bisync->Stop();
  if (serial) {
    auto& closeLock = lib.closePortLocks[id];
    const bool locked = platform::TryLockFor(closeLock, std::chrono::milliseconds(5000));
    serial->Close();
    if (locked) closeLock.unlock();
  }
}

}  // namespace gantrel
