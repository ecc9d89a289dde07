#pragma once
// The change records that subscribers get, built from what the dispatcher
// last told them (its own snapshot of the table) and the table now.

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "kovrin/usb_change_record.h"
#include "port_table.h"

namespace kovrin {

// The longest device name a record carries (the rest of the 256 bytes hold
// the header and the terminating NUL).
inline constexpr std::size_t kRecordNameLimit = 245;

struct ChangeNotice {
  int port = 0;
  PortEntry entry = 0;  // the port's entry now
  UsbChangeRecord record{};
  std::size_t length = kUsbChangeHeaderSize;
};

// What the dispatcher has told subscribers about each port.
struct DispatchSnapshot {
  std::array<PortEntry, kPortCount> entries{};
  DispatchSnapshot() { Reset(); }
  void Reset() {
    for (int p = 0; p < kPortCount; ++p) entries[p] = EmptyEntry(p);
  }
  void Take(const PortTable& table) { entries = table.entries; }
};

// A record with the tag; the name (cut to the limit) only when present.
ChangeNotice MakeNotice(int port, PortEntry entry, std::uint8_t kind, bool present, const std::string& name);

// One notice per port whose entry differs from the snapshot, in port order:
// a port that holds a device now is an arrival with its kind and name; a
// port emptied since is a removal with the kind it had. The snapshot then
// matches the table.
std::vector<ChangeNotice> TakeArrivalNotices(DispatchSnapshot& snapshot, const PortTable& table);

}  // namespace kovrin
