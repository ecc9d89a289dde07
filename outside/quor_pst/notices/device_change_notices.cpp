#include "device_change_notices.h"

#include <algorithm>
#include <cstring>

#include "kovrin/usb_change_record.h"
#include "platform/lasting_payloads.h"
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
  kovrin::UsbChangeRecord record;
  std::memset(&record, 0, sizeof record);
  std::memcpy(record.tag, kovrin::kUsbChangeTag, sizeof record.tag);
  record.port = static_cast<std::uint8_t>(device & 0xFF);
  record.kind = kovrin::kUsbKindPhoneInterface;
  record.present = arrived ? 1 : 0;
  std::size_t length = kovrin::kUsbChangeHeaderSize;
  if (arrived) {
    const std::size_t n = std::min(std::strlen(kDeviceName), kovrin::kUsbChangeNameCapacity - 1);
    std::memcpy(record.name, kDeviceName, n);
    length += n + 1;
  }
  // The platform layer owns the copy, so that it outlives a driver library
  // unloaded while the message is still queued.
  platform::LParam address = 0;
  platform::OwnedPayload payload = platform::LastingCopy(&record, sizeof record, address);
  platform::Message message(kovrin::WM_USB_DEVICE_EVENT, length, address);
  message.payload = std::move(payload);
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
