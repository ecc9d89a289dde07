#pragma once
// What a device object reports to its owner's callback during an operation.
//
// The event is built on the stack of the reporting thread and is valid only
// during the callback. The codes travel on as the status codes of
// DeviceStatusRecord; the table of codes is in device_event_table.h.
//
// Region lists and their release. List A is the list the operation received
// (erase list, read list, ...), list B a second list (the image of a
// smartphone operation). On the events where the event table says so, the
// callback takes ownership of list A (and, for EVENT_PHONE_COMMAND_SENT, list
// B) and releases it in the buffer registry; the device object must not
// touch it afterwards.
// The device objects' contract: when an operation starts, the object clears
// every list field it reports (and then sets the ones that operation
// received), so an event never carries a list that an earlier operation's
// event already released. Operations that receive no list (comm check,
// program magic key, reset target, smartphone commands without an image)
// therefore report null lists, and releasing null does nothing.

#include <cstdint>
#include <functional>
#include <string>

#include "engine/core/device_number.h"
#include "engine/core/error_details.h"

class CRegionList;

enum DeviceEventCode : std::int32_t {
  EVENT_PHONE_COMMAND_SENT = 0,
  EVENT_PHONE_SEND_FAILED = 1,
  EVENT_PHONE_FAILED = 2,
  EVENT_PHONE_CANCELLED = 3,
  EVENT_PHONE_FORMAT_PROGRESS = 4,
  EVENT_COMM_CHECK_FAILED = 5,
  EVENT_COMM_CHECK_DONE = 6,
  EVENT_BOOTLOAD_PROGRESS = 7,
  EVENT_BOOTLOAD_FAILED = 8,
  EVENT_BOOTLOAD_DONE = 9,
  EVENT_FLASH_ERASE_PROGRESS = 10,
  EVENT_FLASH_PROGRESS = 11,
  EVENT_FLASH_FAILED = 12,
  EVENT_FLASH_CANCELLED = 13,
  EVENT_FLASH_DONE = 14,
  EVENT_SMART_FLASH_ERASING = 15,
  EVENT_SMART_FLASH_STREAMING = 16,
  EVENT_SMART_FLASH_PROGRESS = 17,
  EVENT_SMART_FLASH_FAILED = 18,
  EVENT_SMART_FLASH_CANCELLED = 19,
  EVENT_SMART_FLASH_DONE = 20,
  EVENT_REVERSE_FLASH_PROGRESS = 21,
  EVENT_REVERSE_FLASH_FAILED = 22,
  EVENT_REVERSE_FLASH_CANCELLED = 23,
  EVENT_REVERSE_FLASH_DONE = 24,
  EVENT_READ_BACK_PROGRESS = 25,
  EVENT_READ_BACK_FAILED = 26,
  EVENT_READ_BACK_CANCELLED = 27,
  EVENT_READ_BACK_DONE = 28,
  EVENT_RAM_DUMP_PROGRESS = 29,
  EVENT_RAM_DUMP_FAILED = 30,
  EVENT_RAM_DUMP_CANCELLED = 31,
  EVENT_RAM_DUMP_DONE = 32,
  EVENT_MAGIC_KEY_FAILED = 33,
  EVENT_MAGIC_KEY_DONE = 34,
  EVENT_CUSTOM_COMMAND_FAILED = 35,
  EVENT_CUSTOM_COMMAND_DONE = 36,
  EVENT_RESET_TARGET_FAILED = 37,
  EVENT_RESET_TARGET_DONE = 38,
  EVENT_ORVIX_READ_PROGRESS = 39,
  EVENT_ORVIX_READ_FAILED = 40,
  EVENT_ORVIX_READ_DONE = 41,
  EVENT_ORVIX_ERASING = 42,
  EVENT_ORVIX_ERASE_FAILED = 43,
  EVENT_ORVIX_ERASE_DONE = 44,
  EVENT_ORVIX_PROGRAM_PROGRESS = 45,
  EVENT_ORVIX_PROGRAM_FAILED = 46,
  EVENT_ORVIX_PROGRAM_DONE = 47,
  EVENT_FLASHPACK_EXTRACT_PROGRESS = 48,
  EVENT_FLASHPACK_EXTRACT_FAILED = 49,
  EVENT_FLASHPACK_EXTRACT_CANCELLED = 50,
  EVENT_FLASHPACK_EXTRACT_DONE = 51,
  // Status-only codes of the core thread and the main dialog; never from a
  // device object.
  EVENT_STATUS_SCANNING_FILE = 52,
  EVENT_STATUS_SAVING_FILE = 53,
  EVENT_STATUS_FLASHPACK_ADDED = 54,
  EVENT_STATUS_FLASHPACK_ADD_FAILED = 55,
  EVENT_STATUS_FLASHPACKS_REMOVED = 56,
  EVENT_STATUS_FLASHPACK_REMOVE_FAILED = 57,
  EVENT_STATUS_READ_FILE_SAVED = 58,
  EVENT_STATUS_READ_FILE_SAVE_FAILED = 59,
  EVENT_STATUS_FILE_OPEN_FAILED = 60,
  EVENT_STATUS_FILE_DELETED = 61,
  EVENT_STATUS_REMOTE_TRANSFER_DONE = 62,
  EVENT_STATUS_ITEM_QUEUED = 63,
};

inline constexpr std::int32_t kLastDeviceObjectEvent = EVENT_FLASHPACK_EXTRACT_DONE;
inline constexpr std::int32_t kDeviceEventCodeCount = 64;

struct DeviceEvent {
  DeviceNumber device = 0;
  std::int32_t eventCode = 0;
  // The amount done for a progress event, the engine error code for a
  // failure, KERNEL_ERROR_CANCELLED for a cancel, KERNEL_OK otherwise.
  std::int32_t argument = 0;
  // The detail field: for a progress event the total amount; for a failure
  // the device object's last error details (or null).
  std::int32_t total = 0;
  const ErrorDetails* errorDetails = nullptr;
  // For a failure the system refused, its reason as the log gives it (the
  // device path tried and the system's text), or null.
  const std::string* systemReason = nullptr;
  CRegionList* listA = nullptr;
  CRegionList* listB = nullptr;
};

// The callback a device object reports to; a nonzero result asks the object
// to abort the operation.
using DeviceEventCallback = std::function<int(const DeviceEvent& event)>;
