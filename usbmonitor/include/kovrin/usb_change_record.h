#pragma once
// The device-change record that goes with WM_USB_DEVICE_EVENT (0x800B):
// wParam is the record's length, lParam its address. Each receiver's message
// carries its own record as its payload, freed with the message; a receiver
// copies what it needs while it handles the message.

#include <cstddef>
#include <cstdint>

namespace kovrin {

inline constexpr std::uint32_t WM_USB_DEVICE_EVENT = 0x800B;

inline constexpr char kUsbChangeTag[7] = {'Q', 'u', 'o', 'r', 'U', 'S', 'B'};
inline constexpr std::size_t kUsbChangeRecordSize = 256;
// Tag, port, kind and presence: a record without a device name.
inline constexpr std::size_t kUsbChangeHeaderSize = 10;
inline constexpr std::size_t kUsbChangeNameCapacity = kUsbChangeRecordSize - kUsbChangeHeaderSize;

// The kind of device behind a USB port.
enum UsbDeviceKind : std::uint8_t {
  kUsbKindOther = 0,
  kUsbKindModem = 1,
  kUsbKindPhoneInterface = 2,
  kUsbKindSmartphone = 3,
  kUsbKindComposite = 4,
};

struct UsbChangeRecord {
  char tag[7];          // "QuorUSB", no terminating NUL
  std::uint8_t port;    // 0..126
  std::uint8_t kind;    // UsbDeviceKind
  std::uint8_t present; // 1 after an arrival, 0 for a removed port
  char name[kUsbChangeNameCapacity];  // arrival only: device name text, NUL-terminated
};

static_assert(sizeof(UsbChangeRecord) == kUsbChangeRecordSize);
static_assert(offsetof(UsbChangeRecord, port) == 7);
static_assert(offsetof(UsbChangeRecord, kind) == 8);
static_assert(offsetof(UsbChangeRecord, present) == 9);
static_assert(offsetof(UsbChangeRecord, name) == 10);

}  // namespace kovrin
