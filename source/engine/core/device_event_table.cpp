#include "engine/core/device_event_table.h"

#include <array>

#include "engine/core/device_event.h"

namespace {

using A = CoreEventAction;
using L = EventListRelease;

constexpr const char* kComplete = "Complete";
constexpr const char* kError = "Error";
constexpr const char* kCancelled = "Cancelled";
constexpr const char* kNoText = nullptr;

constexpr std::array<DeviceEventInfo, kDeviceEventCodeCount> kEvents{{
    {0, A::None, L::ListsAandB, kComplete},
    {1, A::Error, L::ListA, kError},
    {2, A::Error, L::ListA, kError},
    {3, A::Cancel, L::ListA, kNoText},
    {4, A::None, L::None, "Formating %d%%"},
    {5, A::Error, L::None, kError},
    {6, A::Finish, L::ListA, kComplete},
    {7, A::Progress, L::None, "Bootloading %d%%"},
    {8, A::Error, L::None, kError},
    {9, A::None, L::None, kComplete},
    {10, A::Progress, L::None, "Erasing %d%%"},
    {11, A::Progress, L::None, "Flashing %d%%"},
    {12, A::Error, L::ListA, kError},
    {13, A::Cancel, L::ListA, kCancelled},
    {14, A::Finish, L::ListA, kComplete},
    {15, A::ProgressZero, L::None, "Erasing..."},
    {16, A::Progress, L::None, "Streaming %d%%"},
    {17, A::Progress, L::None, "Flashing %d%%"},
    {18, A::Error, L::ListA, kError},
    {19, A::Cancel, L::ListA, kCancelled},
    {20, A::Finish, L::ListA, kComplete},
    {21, A::Progress, L::None, "Rev Flashing %d%%"},
    {22, A::Error, L::None, kError},
    {23, A::Cancel, L::None, kCancelled},
    {24, A::Save, L::None, kComplete},
    {25, A::Progress, L::None, kNoText},
    {26, A::Error, L::None, kError},
    {27, A::Cancel, L::None, kCancelled},
    {28, A::Save, L::None, kComplete},
    {29, A::Progress, L::None, "Dumping Ram %d%%"},
    {30, A::Error, L::None, kError},
    {31, A::Cancel, L::None, kCancelled},
    {32, A::Save, L::None, kComplete},
    {33, A::Error, L::None, kError},
    {34, A::Finish, L::ListA, kComplete},
    {35, A::Error, L::None, kError},
    {36, A::Finish, L::None, kComplete},
    {37, A::Error, L::None, kError},
    {38, A::Finish, L::ListA, kComplete},
    {39, A::Progress, L::None, "Rev Flashing %d%%"},
    {40, A::Error, L::None, kError},
    {41, A::Save, L::None, kComplete},
    {42, A::Progress, L::None, "Erasing..."},
    {43, A::Error, L::None, kError},
    {44, A::Finish, L::ListA, kComplete},
    {45, A::Progress, L::None, "Flashing %d%%"},
    {46, A::Error, L::None, kError},
    {47, A::Finish, L::ListA, kComplete},
    {48, A::Progress, L::None, "Rev Flashing %d%%"},
    {49, A::Error, L::ListA, kError},
    {50, A::Cancel, L::ListA, kCancelled},
    {51, A::Finish, L::ListA, kComplete},
    {52, A::None, L::None, "Scanning File..."},
    {53, A::None, L::None, "Saving File..."},
    {54, A::None, L::None, kComplete},
    {55, A::None, L::None, kError},
    {56, A::None, L::None, kComplete},
    {57, A::None, L::None, kError},
    {58, A::None, L::None, "Rev Flashing %d%%"},
    {59, A::None, L::None, kError},
    {60, A::None, L::None, kError},
    {61, A::None, L::None, kNoText},
    {62, A::None, L::None, kNoText},
    {63, A::None, L::None, kNoText},
}};

constexpr bool CodesMatchPositions() {
  for (std::size_t i = 0; i < kEvents.size(); ++i) {
    if (kEvents[i].code != static_cast<std::int32_t>(i)) return false;
  }
  return true;
}
static_assert(CodesMatchPositions(), "the event table is indexed by code");

}  // namespace

const DeviceEventInfo* GetDeviceEventInfo(std::int32_t code) {
  if (code < 0 || code >= kDeviceEventCodeCount) return nullptr;
  return &kEvents[static_cast<std::size_t>(code)];
}
