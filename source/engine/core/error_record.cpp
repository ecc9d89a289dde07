#include "engine/core/error_record.h"

std::unique_ptr<ErrorRecord> MakeErrorRecord(DeviceNumber device, std::int32_t eventCode,
                                             std::int32_t errorCode, const ErrorDetails* details,
                                             const std::string* systemReason) {
  auto record = std::make_unique<ErrorRecord>();
  record->device = device;
  record->eventCode = eventCode;
  record->errorCode = errorCode;
  if (details != nullptr) record->details = *details;
  if (systemReason != nullptr) record->systemReason = *systemReason;
  return record;
}

std::unique_ptr<ErrorRecord> CloneErrorRecord(const ErrorRecord* record) {
  if (record == nullptr) return nullptr;
  return std::make_unique<ErrorRecord>(*record);
}
