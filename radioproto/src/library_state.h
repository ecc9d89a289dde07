#pragma once
// The library-wide state: the ten link slots, the start count, the bound USB
// device monitor, and the one lock that orders changes of the table.
//
// Exports take the table lock to read or change a slot; blocking work
// (waits for replies, joins of reader threads) runs without it, on the
// slot's own locks, so one link never stalls another.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "kovrin_binding.h"
#include "os_class.h"
#include "result_codes.h"

namespace gantrel {

class SerialLink;
class AsyncReader;
class BisyncSession;
class UdpLink;
class BdmDevice;
class PortWatcher;

struct LinkSlot {
  std::atomic<std::int32_t> window{0};  // the application's window: its data goes there
  bool allocated = false;
  bool open = false;
  std::uint16_t mode = 0;  // (LinkType << 8) | port
  bool sync = false;
  std::uint8_t busType = 0;  // 0 plain COM port; 1, 2 a watched USB virtual port

  std::shared_ptr<SerialLink> serial;
  std::unique_ptr<AsyncReader> reader;
  std::shared_ptr<BisyncSession> bisync;
  std::shared_ptr<UdpLink> udp;
  std::unique_ptr<BdmDevice> bdm;
  std::unique_ptr<PortWatcher> watcher;
  bool kovrinStarted = false;  // KovrinStart ran for this slot
  bool usbInterface = false;   // opened on a USB interface path: the low byte is a USB port

  std::uint8_t Type() const { return static_cast<std::uint8_t>(mode >> 8); }
  std::uint8_t Port() const { return static_cast<std::uint8_t>(mode); }
};

struct LibraryState {
  std::recursive_mutex lock;
  std::array<LinkSlot, kMaxApps> slots;
  std::uint16_t startCount = 0;
  OsClass os = OsClass::WinXp;
  KovrinBinding kovrin;
  // Bisync and UDP deliveries go to this window instead of the slot's when
  // SetRALPWindowHandler set one after the last connect.
  std::atomic<std::int32_t> messageWindow{0};
  // Serialises closing a watched port between a disconnect and its watcher;
  // lives as long as the library, so a late disconnect always finds it.
  std::array<std::timed_mutex, kMaxApps> closePortLocks;
  std::uint32_t nextSocketHandle = 0x5000;
};

bool IsSerialType(std::uint8_t type);

LibraryState& Library();

// The link check of most exports: -3, -2, -40, -13 or 0.
int CheckLink(std::uint16_t id);
// Id, allocation and open checks only: -3, -2, -40 or 0.
int CheckOpen(std::uint16_t id);

// What the library does when it is attached to a process and detached, with
// the monitor's library name (tests bind a stub monitor this way).
void AttachLibrary(const std::string& monitorName = "Kovrin");
void DetachLibrary();

}  // namespace gantrel
