#include "shell/grid/usb_change_event.h"

namespace {
constexpr std::size_t kPortOffset = 7;
constexpr std::size_t kKindOffset = 8;
constexpr std::size_t kPresentOffset = 9;
constexpr int kLastUsbIndex = 126;
}  // namespace

std::optional<UsbChange> ReadUsbChange(const std::uint8_t* record, std::size_t length) {
  if (record == nullptr || length < kUsbChangeMinimumLength) return std::nullopt;
  const int index = record[kPortOffset];
  const int kind = record[kKindOffset];
  const int present = record[kPresentOffset];
  if (index > kLastUsbIndex || kind != kUsbPhoneInterfaceKind) return std::nullopt;
  if (present == 1) return UsbChange{WM_DEVICE_ATTACHED, index, kind};
  if (present == 0) return UsbChange{WM_DEVICE_REMOVED, index, kind};
  return std::nullopt;
}
