#include "engine/processing/job_failure.h"

#include <array>
#include <utility>

#include "engine/core/device_event.h"
#include "engine/core/error_record.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"

namespace {

struct JobFailedEvent {
  std::uint32_t jobCode;
  std::int32_t eventCode;
};

constexpr std::array kFailedEvents{
    JobFailedEvent{WM_FLASH, EVENT_FLASH_FAILED},
    JobFailedEvent{WM_ERASE, EVENT_FLASH_FAILED},
    JobFailedEvent{WM_REVERSE_FLASH, EVENT_REVERSE_FLASH_FAILED},
    JobFailedEvent{WM_RAM_DUMP, EVENT_RAM_DUMP_FAILED},
    JobFailedEvent{WM_COMM_CHECK, EVENT_COMM_CHECK_FAILED},
    JobFailedEvent{WM_PROGRAM_MAGIC_KEY, EVENT_MAGIC_KEY_FAILED},
    JobFailedEvent{WM_CUSTOM_COMMAND, EVENT_CUSTOM_COMMAND_FAILED},
    JobFailedEvent{WM_RESET_TARGET, EVENT_RESET_TARGET_FAILED},
    JobFailedEvent{WM_ORVIX_REVERSE_FLASH, EVENT_ORVIX_READ_FAILED},
    JobFailedEvent{WM_ORVIX_ERASE, EVENT_ORVIX_ERASE_FAILED},
    JobFailedEvent{WM_ORVIX_FLASH, EVENT_ORVIX_PROGRAM_FAILED},
    JobFailedEvent{WM_FLASHPACK_EXTRACT, EVENT_FLASHPACK_EXTRACT_FAILED},
    JobFailedEvent{WM_FLASHPACK_ADD, EVENT_STATUS_FLASHPACK_ADD_FAILED},
    JobFailedEvent{WM_FLASHPACK_REMOVE, EVENT_STATUS_FLASHPACK_REMOVE_FAILED},
    JobFailedEvent{WM_FLASHPACK_UPDATE_FLASH, EVENT_FLASH_FAILED},
    JobFailedEvent{WM_FLASHPACK_EXTRACT_ADD_FLASH, EVENT_FLASH_FAILED},
    JobFailedEvent{WM_RALIX_FORMAT, EVENT_PHONE_SEND_FAILED},
    JobFailedEvent{WM_RALIX_FLASH_FILE, EVENT_PHONE_SEND_FAILED},
};

}  // namespace

void PostStarterFailure(DeviceNumber device, std::int32_t eventCode, std::int32_t errorCode) {
  PostToTarget<WM_JOB_ERROR>(PT_CORE, MakeErrorRecord(device, eventCode, errorCode, nullptr));
}

std::int32_t FailedEventOfJob(std::uint32_t jobCode) {
  for (const auto& entry : kFailedEvents) {
    if (entry.jobCode == jobCode) return entry.eventCode;
  }
  return 1;
}
