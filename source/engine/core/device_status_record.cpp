#include "engine/core/device_status_record.h"

std::unique_ptr<DeviceStatusRecord> MakeDeviceStatusRecord(std::int32_t eventCode, DeviceNumber device,
                                                           std::int32_t itemsStarted,
                                                           std::int32_t itemsQueued, std::int32_t percent,
                                                           const ErrorRecord* error) {
  auto record = std::make_unique<DeviceStatusRecord>();
  record->eventCode = eventCode;
  record->device = device;
  record->itemsStarted = itemsStarted;
  record->itemsQueued = itemsQueued;
  record->percent = percent;
  record->error = CloneErrorRecord(error);
  return record;
}
