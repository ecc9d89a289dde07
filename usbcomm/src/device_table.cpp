#include "device_table.h"

namespace pellwick {

namespace {
// The id a cleared table gives every record.
constexpr std::uint16_t kClearedId = 255;

bool IsFree(const PWL_DEVICE_RECORD& r) {
  return r.state == kDeviceAbsent && (r.deviceId == kNoDeviceId || r.deviceId == kClearedId);
}
}  // namespace

PWL_DEVICE_RECORD* DeviceTable::Find(std::uint16_t device) {
  for (auto& r : records_) {
    if (r.deviceId == device && device != kClearedId) return &r;
  }
  return nullptr;
}

PWL_DEVICE_RECORD* DeviceTable::FindOrTake(std::uint16_t device) {
  if (auto* r = Find(device)) return r;
  for (auto& r : records_) {
    if (IsFree(r)) {
      r = PWL_DEVICE_RECORD{};
      r.deviceId = device;
      return &r;
    }
  }
  return nullptr;
}

PWL_DEVICE_RECORD* DeviceTable::OwnedBy(int app) {
  for (auto& r : records_) {
    if (r.state == kDeviceSelected && r.owner == app) return &r;
  }
  return nullptr;
}

void DeviceTable::ClearRecords() {
  for (auto& r : records_) {
    r = PWL_DEVICE_RECORD{};
    r.deviceId = kClearedId;
    r.owner = kNoOwner;
  }
  // The companions go with the records: a cleared table knows of no device.
  handles_.fill(0);
  present_.fill(false);
  presentList_.fill(0);
  presentCount_ = 0;
}

void DeviceTable::Free(PWL_DEVICE_RECORD& record) {
  record.interfaceHandle = 0;
  record.deviceId = kNoDeviceId;
  record.owner = kNoOwner;
  record.state = kDeviceAbsent;
}

bool DeviceTable::SetPresent(std::uint16_t device, bool present) {
  if (present_[device] == present) return false;
  present_[device] = present;
  presentCount_ += present ? 1 : -1;
  return true;
}

}  // namespace pellwick
