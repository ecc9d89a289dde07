#include "change_records.h"

#include <algorithm>
#include <cstring>

namespace kovrin {

ChangeNotice MakeNotice(int port, PortEntry entry, std::uint8_t kind, bool present, const std::string& name) {
  ChangeNotice notice;
  notice.port = port;
  notice.entry = entry;
  std::memset(&notice.record, 0, sizeof notice.record);
  std::memcpy(notice.record.tag, kUsbChangeTag, sizeof notice.record.tag);
  notice.record.port = static_cast<std::uint8_t>(port);
  notice.record.kind = kind;
  notice.record.present = present ? 1 : 0;
  notice.length = kUsbChangeHeaderSize;
  if (present && !name.empty()) {
    const std::size_t n = std::min(name.size(), kRecordNameLimit);
    std::memcpy(notice.record.name, name.data(), n);
    notice.length += n + 1;
  }
  return notice;
}

std::vector<ChangeNotice> TakeArrivalNotices(DispatchSnapshot& snapshot, const PortTable& table) {
  std::vector<ChangeNotice> notices;
  for (int p = 0; p < kPortCount; ++p) {
    const PortEntry before = snapshot.entries[p];
    const PortEntry now = table.entries[p];
    if (before == now) continue;
    if (EntryHasDevice(now)) {
      notices.push_back(MakeNotice(p, now, EntryKind(now), true, table.devices[p].deviceName));
    } else if (EntryHasDevice(before)) {
      notices.push_back(MakeNotice(p, now, EntryKind(before), false, {}));
    }
    snapshot.entries[p] = now;
  }
  return notices;
}

}  // namespace kovrin
