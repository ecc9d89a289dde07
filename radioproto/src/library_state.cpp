#include "library_state.h"

#include "async_reader.h"
#include "bdm_device.h"
#include "bisync_session.h"
#include "port_watcher.h"
#include "udp_link.h"

namespace gantrel {

// The state lives for the whole process: the detach that ends the links runs
// while the process ends, after function-local statics may have gone.
LibraryState& Library() {
  static LibraryState& state = *new LibraryState;
  return state;
}

bool IsSerialType(std::uint8_t type) {
  switch (type) {
    case LINK_ASYNC:
    case LINK_BISYNC:
    case LINK_TRELLBUS:
    case LINK_TLXP:
    case LINK_CTS_FLOW:
    case LINK_LONG_READ: return true;
    default: return false;
  }
}

int CheckOpen(std::uint16_t id) {
  if (id >= kMaxApps) return GANTREL_RC_BAD_ID;
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  const LinkSlot& slot = lib.slots[id];
  if (!slot.allocated) return GANTREL_RC_NOT_ALLOCATED;
  if (!slot.open) return GANTREL_RC_NOT_OPEN;
  return 0;
}

int CheckLink(std::uint16_t id) {
  if (int r = CheckOpen(id)) return r;
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  const LinkSlot& slot = lib.slots[id];
  if (IsSerialType(slot.Type()) && !slot.serial) return GANTREL_RC_BAD_PORT;
  return 0;
}

void AttachLibrary(const std::string& monitorName) {
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  lib.os = CurrentOsClass();
  if (BindsUsbMonitor(lib.os)) lib.kovrin.Bind(monitorName);
}

// Ends every link's threads and closes what is open, then lets the monitor go.
void DetachLibrary() {
  auto& lib = Library();
  std::array<LinkSlot, kMaxApps> ended;
  {
    std::lock_guard lock(lib.lock);
    for (int i = 0; i < kMaxApps; ++i) {
      LinkSlot& slot = lib.slots[i];
      ended[i].reader = std::move(slot.reader);
      ended[i].bisync = std::move(slot.bisync);
      ended[i].udp = std::move(slot.udp);
      ended[i].watcher = std::move(slot.watcher);
      ended[i].serial = std::move(slot.serial);
      ended[i].bdm = std::move(slot.bdm);
      slot.window = 0;
      slot.allocated = slot.open = slot.sync = slot.kovrinStarted = slot.usbInterface = false;
      slot.mode = 0;
      slot.busType = 0;
    }
    lib.startCount = 0;
    lib.messageWindow = 0;
  }
  for (auto& slot : ended) {
    if (slot.watcher) slot.watcher->Stop();
    if (slot.reader) slot.reader->Stop();
    if (slot.bisync) slot.bisync->Stop();
    if (slot.udp) slot.udp->Stop();
    slot.watcher.reset();
    slot.reader.reset();
    slot.bisync.reset();
    slot.udp.reset();
    slot.serial.reset();
    slot.bdm.reset();
  }
  Bdm().Reset();
  std::lock_guard lock(lib.lock);
  lib.kovrin.Unbind();
}

}  // namespace gantrel
