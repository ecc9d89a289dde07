#include "link_control.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "async_reader.h"
#include "bdm_device.h"
#include "bisync_session.h"
#include "library_state.h"
#include "port_watcher.h"
#include "serial_link.h"
#include "udp_link.h"
#include "platform/timed_lock.h"

namespace gantrel {
namespace {

// Another open serial link on the same COM port.
bool PortInUse(std::uint8_t port, bool usbInterface) {
  auto& lib = Library();
  for (const LinkSlot& slot : lib.slots) {
    if (slot.open && IsSerialType(slot.Type()) && slot.usbInterface == usbInterface && slot.Port() == port) {
      return true;
    }
  }
  return false;
}

void MarkOpen(LinkSlot& slot, std::uint32_t connectWord, bool sync) {
  slot.mode = static_cast<std::uint16_t>(connectWord);
  slot.sync = sync;
  slot.allocated = true;
  slot.open = true;
}

}  // namespace

int OpenSerialTypes(std::uint16_t id, std::uint32_t connectWord, const std::string& path,
                    const ConnectParams& params, bool sync, bool usbInterface) {
  const std::uint8_t type = ConnectType(connectWord);
  auto& lib = Library();
  {
    std::lock_guard lock(lib.lock);
    if (!usbInterface && PortInUse(ConnectPort(connectWord), false)) return GANTREL_RC_PORT_IN_USE;
  }
  if (!RateAccepted(params.rate)) return GANTREL_RC_BAD_RATE;
  std::shared_ptr<SerialLink> link;
  if (int r = SerialLink::Open(path, type, params, link)) return r;

  std::unique_ptr<AsyncReader> reader;
  std::shared_ptr<BisyncSession> bisync;
  bool linkSync = sync;
  try {
    if (type == LINK_ASYNC && !sync) reader = std::make_unique<AsyncReader>(id, link);
    if (type == LINK_BISYNC) bisync = std::make_shared<BisyncSession>(id, link, sync);
  } catch (const std::system_error&) {
    return GANTREL_RC_THREAD;
  }
  if (type != LINK_ASYNC && type != LINK_BISYNC) linkSync = true;  // the caller reads

  std::lock_guard lock(lib.lock);
  LinkSlot& slot = lib.slots[id];
  slot.serial = std::move(link);
  slot.reader = std::move(reader);
  slot.bisync = std::move(bisync);
  slot.usbInterface = usbInterface;
  MarkOpen(slot, connectWord, linkSync);
  return 0;
}

int OpenUdp(std::uint16_t id, std::uint32_t connectWord, const UdpConnectParams& params, bool sync) {
  std::string address(params.address, strnlen(params.address, sizeof params.address));
  auto& lib = Library();
  std::uint32_t handle;
  std::int32_t window;
  {
    std::lock_guard lock(lib.lock);
    handle = lib.nextSocketHandle++;
    window = lib.slots[id].window.load();
  }
  auto udp = std::make_shared<UdpLink>(id, handle, std::move(address), params.port);
  if (int r = udp->Open()) return r;
  if (!sync) udp->StartNotices(window);
  std::lock_guard lock(lib.lock);
  LinkSlot& slot = lib.slots[id];
  slot.udp = std::move(udp);
  MarkOpen(slot, connectWord, sync);
  return 0;
}

int OpenBdm(std::uint16_t id, std::uint32_t connectWord) {
  auto device = std::make_unique<BdmDevice>();
  if (!device->Open(ConnectPort(connectWord))) return GANTREL_RC_BDM_DEVICE;
  Bdm().UseDevice(device->handle());
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  LinkSlot& slot = lib.slots[id];
  slot.bdm = std::move(device);
  MarkOpen(slot, connectWord, false);
  return 0;
}

int CloseLink(std::uint16_t id) {
  auto& lib = Library();
  std::unique_ptr<AsyncReader> reader;
  std::shared_ptr<BisyncSession> bisync;
  std::shared_ptr<UdpLink> udp;
  std::unique_ptr<BdmDevice> bdm;
  std::unique_ptr<PortWatcher> watcher;
  std::shared_ptr<SerialLink> serial;
  bool watched = false;
  {
    std::lock_guard lock(lib.lock);
    LinkSlot& slot = lib.slots[id];
    reader = std::move(slot.reader);
    bisync = std::move(slot.bisync);
    udp = std::move(slot.udp);
    bdm = std::move(slot.bdm);
    watcher = std::move(slot.watcher);
    serial = std::move(slot.serial);
    watched = slot.busType != 0;
    slot.open = false;
    slot.mode = 0;
    slot.busType = 0;
    slot.usbInterface = false;
  }
  // Readers first: no thread may still wait on the port when it closes.
  if (reader) reader->Stop();
  if (bisync) bisync->Stop();
  if (udp) udp->Stop();
  int result = 0;
  if (serial) {
    auto& closeLock = lib.closePortLocks[id];
    const bool locked = watched && platform::TryLockFor(closeLock, std::chrono::milliseconds(5000));
    result = serial->Close();
    if (locked) closeLock.unlock();
  }
  if (watcher) watcher->Stop();
  return result;
}

void StartWatcher(std::uint16_t id) {
  auto& lib = Library();
  std::unique_ptr<PortWatcher> old;
  {
    std::lock_guard lock(lib.lock);
    old = std::move(lib.slots[id].watcher);
  }
  if (old) old->Stop();
  auto watcher = std::make_unique<PortWatcher>(id);
  std::lock_guard lock(lib.lock);
  lib.slots[id].watcher = std::move(watcher);
}

}  // namespace gantrel
