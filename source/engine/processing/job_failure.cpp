#include "engine/processing/job_failure.h"

#include <utility>

#include "engine/core/device_event.h"
#include "engine/core/error_record.h"
#include "engine/core/job_kind_table.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"

void PostStarterFailure(DeviceNumber device, std::int32_t eventCode, std::int32_t errorCode) {
  PostToTarget<WM_JOB_ERROR>(PT_CORE, MakeErrorRecord(device, eventCode, errorCode, nullptr));
}

std::int32_t FailedEventOfJob(std::uint32_t jobCode) {
  const JobKind* kind = FindJobKind(jobCode);
  return kind ? kind->failedEvent : kGenericJobFailedEvent;
}
