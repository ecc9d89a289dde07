#include "engine/processing/job_failure.h"

#include <array>
#include <utility>

#include "engine/core/error_record.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"

namespace {

struct JobFailedEvent {
  std::uint32_t jobCode;
  std::int32_t eventCode;
};

constexpr std::array kFailedEvents{
    JobFailedEvent{WM_FLASH, 12},
    JobFailedEvent{WM_ERASE, 12},
    JobFailedEvent{WM_REVERSE_FLASH, 22},
    JobFailedEvent{WM_RAM_DUMP, 30},
    JobFailedEvent{WM_COMM_CHECK, 5},
    JobFailedEvent{WM_PROGRAM_MAGIC_KEY, 33},
    JobFailedEvent{WM_CUSTOM_COMMAND, 35},
    JobFailedEvent{WM_RESET_TARGET, 37},
    JobFailedEvent{WM_ORVIX_REVERSE_FLASH, 40},
    JobFailedEvent{WM_ORVIX_ERASE, 43},
    JobFailedEvent{WM_ORVIX_FLASH, 46},
    JobFailedEvent{WM_FLASHPACK_EXTRACT, 49},
    JobFailedEvent{WM_FLASHPACK_ADD, 55},
    JobFailedEvent{WM_FLASHPACK_REMOVE, 57},
    JobFailedEvent{WM_FLASHPACK_UPDATE_FLASH, 12},
    JobFailedEvent{WM_FLASHPACK_EXTRACT_ADD_FLASH, 12},
    JobFailedEvent{WM_RALIX_FORMAT, 1},
    JobFailedEvent{WM_RALIX_FLASH_FILE, 1},
};

}  // namespace

void PostStarterFailure(DeviceNumber device, std::int32_t eventCode, std::int32_t errorCode) {
  PostToTarget(PT_CORE, WM_JOB_ERROR, MakeErrorRecord(device, eventCode, errorCode, nullptr));
}

std::int32_t FailedEventOfJob(std::uint32_t jobCode) {
  for (const auto& entry : kFailedEvents) {
    if (entry.jobCode == jobCode) return entry.eventCode;
  }
  return 1;
}
