#include "device_change_notices.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "kovrin/usb_change_record.h"
#include "platform/target_registry.h"
#include "quor_pst/quor_pst.h"

namespace quor_pst {
namespace {

constexpr const char* kDeviceName = "Quor USB Device";

void PostPerInterface(std::uint32_t window, std::uint32_t message, std::uint16_t device,
                      const std::vector<int>& driverKinds) {
  if (window == platform::kNoHandle) return;
  for (int kind : driverKinds) platform::PostWindowMessage(window, message, device, kind);
}

// The record travels as the message's own payload; lParam is its address.
void PostChangeRecord(std::uint32_t window, std::uint16_t device, bool arrived) {
  if (window == platform::kNoHandle) return;
  auto record = std::make_unique<kovrin::UsbChangeRecord>();
  std::memset(record.get(), 0, sizeof *record);
  std::memcpy(record->tag, kovrin::kUsbChangeTag, sizeof record->tag);
  record->port = static_cast<std::uint8_t>(device & 0xFF);
  record->kind = kovrin::kUsbKindPhoneInterface;
  record->present = arrived ? 1 : 0;
  std::size_t length = kovrin::kUsbChangeHeaderSize;
  if (arrived) {
    const std::size_t n = std::min(std::strlen(kDeviceName), kovrin::kUsbChangeNameCapacity - 1);
    std::memcpy(record->name, kDeviceName, n);
    length += n + 1;
  }
  auto address = reinterpret_cast<platform::LParam>(record.get());
  platform::Message message(kovrin::WM_USB_DEVICE_EVENT, length, address);
  message.payload = platform::OwnedPayload(std::move(record));
  platform::PostWindowMessage(window, std::move(message));
}

}  // namespace

void PostArrivals(std::uint32_t changeWindow, std::uint32_t monitorWindow, std::uint16_t device,
                  const std::vector<int>& driverKinds) {
  PostPerInterface(changeWindow, PST_WM_DEVICE_ARRIVAL, device, driverKinds);
  PostChangeRecord(monitorWindow, device, true);
}

void PostRemovals(std::uint32_t changeWindow, std::uint32_t monitorWindow, std::uint16_t device,
                  const std::vector<int>& driverKinds) {
  PostPerInterface(changeWindow, PST_WM_DEVICE_REMOVAL, device, driverKinds);
  PostChangeRecord(monitorWindow, device, false);
}

}  // namespace quor_pst
