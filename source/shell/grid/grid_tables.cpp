#include "shell/grid/grid_tables.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <initializer_list>

namespace {

bool In(std::int32_t code, std::initializer_list<std::int32_t> codes) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// Events that close an operation successfully (done, complete).
constexpr std::initializer_list<std::int32_t> kDoneEvents{0,  6,  9,  14, 20, 24, 28, 32, 34,
                                                          36, 38, 41, 44, 47, 51, 54, 56};
constexpr std::initializer_list<std::int32_t> kErrorEvents{1,  2,  5,  8,  12, 18, 22, 26, 30, 33,
                                                           35, 37, 40, 43, 46, 49, 55, 57, 59, 60};
constexpr std::initializer_list<std::int32_t> kCancelEvents{13, 19, 23, 27, 31, 50};
constexpr std::initializer_list<std::int32_t> kWaitingEvents{7, 17, 39, 42, 45};
constexpr std::initializer_list<std::int32_t> kBusyEvents{10, 11, 15, 16, 21, 25, 29, 48};
constexpr std::int32_t kScanningEvent = 52;
constexpr std::int32_t kReadBackSavedEvent = 58;

struct PercentText {
  std::int32_t code;
  const char* format;
};

// Texts that take the percentage, and fixed texts.
constexpr std::array<PercentText, 16> kTexts{{
    {4, "Formating %d%%"},
    {7, "Bootloading %d%%"},
    {10, "Erasing %d%%"},
    {11, "Flashing %d%%"},
    {17, "Flashing %d%%"},
    {45, "Flashing %d%%"},
    {15, "Erasing..."},
    {42, "Erasing..."},
    {16, "Streaming %d%%"},
    {21, "Rev Flashing %d%%"},
    {39, "Rev Flashing %d%%"},
    {48, "Rev Flashing %d%%"},
    {58, "Rev Flashing %d%%"},
    {29, "Dumping Ram %d%%"},
    {52, "Scanning File..."},
    {53, "Saving File..."},
}};

}  // namespace

GridRowStateCode GridRowState(std::int32_t eventCode, std::int32_t itemsStarted, std::int32_t itemsQueued,
                              GridRowStateCode current) {
  if (current == GRID_ROW_ERROR_REMOVED) return GRID_ROW_ERROR_REMOVED;
  if (In(eventCode, kDoneEvents) || eventCode == kReadBackSavedEvent)
    return itemsStarted == itemsQueued ? GRID_ROW_FINISHED : GRID_ROW_WAITING;
  if (In(eventCode, kErrorEvents))
    return current == GRID_ROW_REMOVED_BUSY ? GRID_ROW_ERROR_REMOVED : GRID_ROW_ERROR;
  if (In(eventCode, kWaitingEvents)) return GRID_ROW_WAITING;
  if (In(eventCode, kBusyEvents)) return GRID_ROW_BUSY;
  if (In(eventCode, kCancelEvents)) return GRID_ROW_FINISHED;
  if (eventCode == kScanningEvent) return GRID_ROW_SCANNING;
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
