#include "shell/grid/grid_tables.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <initializer_list>

#include "engine/core/device_event.h"

namespace {

bool In(std::int32_t code, std::initializer_list<std::int32_t> codes) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// Events that close an operation successfully (done, complete).
constexpr std::initializer_list<std::int32_t> kDoneEvents{
    EVENT_PHONE_COMMAND_SENT, EVENT_COMM_CHECK_DONE, EVENT_BOOTLOAD_DONE, EVENT_FLASH_DONE, EVENT_SMART_FLASH_DONE,
    EVENT_REVERSE_FLASH_DONE, EVENT_READ_BACK_DONE, EVENT_RAM_DUMP_DONE, EVENT_MAGIC_KEY_DONE,
    EVENT_CUSTOM_COMMAND_DONE, EVENT_RESET_TARGET_DONE, EVENT_ORVIX_READ_DONE, EVENT_ORVIX_ERASE_DONE,
    EVENT_ORVIX_PROGRAM_DONE, EVENT_FLASHPACK_EXTRACT_DONE, EVENT_STATUS_FLASHPACK_ADDED,
    EVENT_STATUS_FLASHPACKS_REMOVED,
};
constexpr std::initializer_list<std::int32_t> kErrorEvents{
    EVENT_PHONE_SEND_FAILED, EVENT_PHONE_FAILED, EVENT_COMM_CHECK_FAILED, EVENT_BOOTLOAD_FAILED, EVENT_FLASH_FAILED,
    EVENT_SMART_FLASH_FAILED, EVENT_REVERSE_FLASH_FAILED, EVENT_READ_BACK_FAILED, EVENT_RAM_DUMP_FAILED,
    EVENT_MAGIC_KEY_FAILED, EVENT_CUSTOM_COMMAND_FAILED, EVENT_RESET_TARGET_FAILED, EVENT_ORVIX_READ_FAILED,
    EVENT_ORVIX_ERASE_FAILED, EVENT_ORVIX_PROGRAM_FAILED, EVENT_FLASHPACK_EXTRACT_FAILED,
    EVENT_STATUS_FLASHPACK_ADD_FAILED, EVENT_STATUS_FLASHPACK_REMOVE_FAILED, EVENT_STATUS_READ_FILE_SAVE_FAILED,
    EVENT_STATUS_FILE_OPEN_FAILED,
};
constexpr std::initializer_list<std::int32_t> kCancelEvents{
    EVENT_FLASH_CANCELLED, EVENT_SMART_FLASH_CANCELLED, EVENT_REVERSE_FLASH_CANCELLED, EVENT_READ_BACK_CANCELLED,
    EVENT_RAM_DUMP_CANCELLED, EVENT_FLASHPACK_EXTRACT_CANCELLED,
};
constexpr std::initializer_list<std::int32_t> kWaitingEvents{
    EVENT_BOOTLOAD_PROGRESS, EVENT_SMART_FLASH_PROGRESS, EVENT_ORVIX_READ_PROGRESS, EVENT_ORVIX_ERASING,
    EVENT_ORVIX_PROGRAM_PROGRESS,
};
constexpr std::initializer_list<std::int32_t> kBusyEvents{
    EVENT_FLASH_ERASE_PROGRESS, EVENT_FLASH_PROGRESS, EVENT_SMART_FLASH_ERASING, EVENT_SMART_FLASH_STREAMING,
    EVENT_REVERSE_FLASH_PROGRESS, EVENT_READ_BACK_PROGRESS, EVENT_RAM_DUMP_PROGRESS, EVENT_FLASHPACK_EXTRACT_PROGRESS,
};

struct PercentText {
  std::int32_t code;
  const char* format;
};

// Texts that take the percentage, and fixed texts.
constexpr std::array<PercentText, 16> kTexts{{
    {EVENT_PHONE_FORMAT_PROGRESS, "Formating %d%%"},
    {EVENT_BOOTLOAD_PROGRESS, "Bootloading %d%%"},
    {EVENT_FLASH_ERASE_PROGRESS, "Erasing %d%%"},
    {EVENT_FLASH_PROGRESS, "Flashing %d%%"},
    {EVENT_SMART_FLASH_PROGRESS, "Flashing %d%%"},
    {EVENT_ORVIX_PROGRAM_PROGRESS, "Flashing %d%%"},
    {EVENT_SMART_FLASH_ERASING, "Erasing..."},
    {EVENT_ORVIX_ERASING, "Erasing..."},
    {EVENT_SMART_FLASH_STREAMING, "Streaming %d%%"},
    {EVENT_REVERSE_FLASH_PROGRESS, "Rev Flashing %d%%"},
    {EVENT_ORVIX_READ_PROGRESS, "Rev Flashing %d%%"},
    {EVENT_FLASHPACK_EXTRACT_PROGRESS, "Rev Flashing %d%%"},
    {EVENT_STATUS_READ_FILE_SAVED, "Rev Flashing %d%%"},
    {EVENT_RAM_DUMP_PROGRESS, "Dumping Ram %d%%"},
    {EVENT_STATUS_SCANNING_FILE, "Scanning File..."},
    {EVENT_STATUS_SAVING_FILE, "Saving File..."},
}};

}  // namespace

GridRowStateCode GridRowState(std::int32_t eventCode, std::int32_t itemsStarted, std::int32_t itemsQueued,
                              GridRowStateCode current) {
  if (current == GRID_ROW_ERROR_REMOVED) return GRID_ROW_ERROR_REMOVED;
  if (In(eventCode, kDoneEvents) || eventCode == EVENT_STATUS_READ_FILE_SAVED)
    return itemsStarted == itemsQueued ? GRID_ROW_FINISHED : GRID_ROW_WAITING;
  if (In(eventCode, kErrorEvents))
    return current == GRID_ROW_REMOVED_BUSY ? GRID_ROW_ERROR_REMOVED : GRID_ROW_ERROR;
  if (In(eventCode, kWaitingEvents)) return GRID_ROW_WAITING;
  if (In(eventCode, kBusyEvents)) return GRID_ROW_BUSY;
  if (In(eventCode, kCancelEvents)) return GRID_ROW_FINISHED;
  if (eventCode == EVENT_STATUS_SCANNING_FILE) return GRID_ROW_SCANNING;
  return GRID_ROW_READY;
}

std::string GridStatusText(std::int32_t eventCode, std::int32_t percent) {
  if (In(eventCode, kDoneEvents)) return "Complete";
  if (In(eventCode, kErrorEvents)) return "Error";
  if (In(eventCode, kCancelEvents)) return "Cancelled";
  for (const auto& t : kTexts) {
    if (t.code != eventCode) continue;
    char text[64];
    std::snprintf(text, sizeof text, t.format, static_cast<int>(percent));
    return text;
  }
  return {};
}

bool IsCancelEvent(std::int32_t eventCode) { return In(eventCode, kCancelEvents); }

std::string GridRowLabel(DeviceNumber device) {
  if (IsUsbDevice(device)) return "USB" + std::to_string(device);
  if (IsSerialDevice(device)) return "COM" + std::to_string(device - (DEVICE_FIRST_COM - 1));
  return "Ralix";
}
