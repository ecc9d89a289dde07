// Library lifetime and the registration of application slots.

#include <chrono>
#include <thread>

#include "gantrel/gantrel.h"
#include "library_state.h"
#include "port_watcher.h"

using namespace gantrel;

namespace {

constexpr int kDeregisterSettleMs = 300;

}  // namespace

extern "C" {

int QuorInitialize(void) {
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  ++lib.startCount;
  if (auto init = lib.kovrin.entries().Initialize) init(0);
  return 0;
}

int QuorTerminate(void) {
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  if (lib.startCount == 0) return GANTREL_RC_NOT_ALLOCATED;
  --lib.startCount;
  if (auto terminate = lib.kovrin.entries().Terminate) terminate(0);
  return 0;
}

int QuorRegisterApp(RegisterParams* params) {
  if (!params) return GANTREL_RC_NULL_BUFFER;
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  int id = -1;
  for (int i = 0; i < kMaxApps && id < 0; ++i) {
    if (!lib.slots[i].allocated) id = i;
  }
  if (id < 0) return GANTREL_RC_NO_SLOT;
  if (params->window <= 0) return GANTREL_RC_NO_WINDOW;
  LinkSlot& slot = lib.slots[id];
  slot.window = params->window;
  slot.allocated = true;
  params->id = static_cast<std::uint16_t>(id);
  const auto& k = lib.kovrin.entries();
  if (k.SetAppshWnd && k.SetAppshWnd(static_cast<std::uint16_t>(id), static_cast<std::uint32_t>(params->window)) == 1 &&
      k.Start) {
    k.Start(static_cast<std::uint16_t>(id));
    slot.kovrinStarted = true;
  }
  return 0;
}

int QuorDeRegisterApp(uint16_t id) {
  if (id >= kMaxApps) return GANTREL_RC_BAD_APP;
  auto& lib = Library();
  std::unique_ptr<PortWatcher> watcher;
  bool bound = false;
  {
    std::lock_guard lock(lib.lock);
    LinkSlot& slot = lib.slots[id];
    if (!slot.allocated) return GANTREL_RC_NOT_ALLOCATED;
    if (slot.open) return GANTREL_RC_LINK_OPEN;
    bound = lib.kovrin.Bound();
    // Only a slot whose registration started the monitor stops it.
    if (slot.kovrinStarted && lib.kovrin.entries().Stop) lib.kovrin.entries().Stop(id);
    watcher = std::move(slot.watcher);
    slot.window = 0;
    slot.allocated = slot.open = slot.sync = slot.kovrinStarted = slot.usbInterface = false;
    slot.mode = 0;
    slot.busType = 0;
  }
  if (bound) std::this_thread::sleep_for(std::chrono::milliseconds(kDeregisterSettleMs));
  if (watcher) watcher->Stop();
  return 0;
}

int QuorRegisterThreadMessage(uint16_t id, uint32_t threadId) {
  if (id >= kMaxApps) return GANTREL_RC_BAD_ID;
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  if (!lib.slots[id].allocated) return GANTREL_RC_NOT_ALLOCATED;
  const auto subscribe = lib.kovrin.entries().SubscribeThreadMessage;
  if (!subscribe) return GANTREL_RC_NOT_BOUND;
  subscribe(id, threadId);
  return 0;
}

int QuorDeregisterThreadMessage(uint16_t id) {
  if (id >= kMaxApps) return GANTREL_RC_BAD_ID;
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  if (!lib.slots[id].allocated) return GANTREL_RC_NOT_ALLOCATED;
  const auto unsubscribe = lib.kovrin.entries().UnsubscribeThreadMessage;
  if (!unsubscribe) return GANTREL_RC_NOT_BOUND;
  unsubscribe(id);
  return 0;
}

int SetRALPWindowHandler(int32_t window) {
  Library().messageWindow = window;
  return 0;
}

}  // extern "C"
