#pragma once
// The library's table of USB devices: 127 records found by their device id,
// and beside them, indexed by device id, the interface handles, the present
// flags and the present-device list.

#include <array>
#include <cstdint>

#include "pellwick/pellwick.h"

namespace pellwick {

inline constexpr std::uint16_t kNoDeviceId = 0xFFFF;
inline constexpr std::int16_t kNoOwner = 255;

enum DeviceState : std::int16_t { kDeviceAbsent = 0, kDevicePresent = 1, kDeviceSelected = 2 };

struct PWL_DEVICE_RECORD {
  std::uint16_t deviceId = kNoDeviceId;
  std::int32_t interfaceHandle = 0;
  std::int16_t state = kDeviceAbsent;
  std::int16_t owner = kNoOwner;
  std::int16_t writeEpSize = 0;
  std::int16_t readEpSize = 0;
  std::int32_t interfaceKind = 0;
};

class DeviceTable {
 public:
  static bool ValidId(unsigned device) { return device <= PWL_MAX_DEVICE_ID; }

  // The record that holds the id, or null.
  PWL_DEVICE_RECORD* Find(std::uint16_t device);
  // The record that holds the id, else a free record taken for it (state
  // absent, id set); null when every record is in use.
  PWL_DEVICE_RECORD* FindOrTake(std::uint16_t device);
  // The record an application has selected, or null.
  PWL_DEVICE_RECORD* OwnedBy(int app);
  // Every record empty (id 255, owner 255, the rest 0), and no handle or
  // present flag left.
  void ClearRecords();
  // One record empty again (handle 0, id 0xFFFF, owner 255, absent).
  static void Free(PWL_DEVICE_RECORD& record);

  std::int32_t& HandleOf(std::uint16_t device) { return handles_[device]; }
  bool Present(std::uint16_t device) const { return present_[device]; }
  // Sets the present flag; true when it changed.
  bool SetPresent(std::uint16_t device, bool present);
  void SetListed(std::size_t position, std::uint16_t device) { presentList_[position] = device; }
  int PresentCount() const { return presentCount_; }

 private:
  std::array<PWL_DEVICE_RECORD, PWL_MAX_DEVICES> records_{};
  std::array<std::int32_t, PWL_MAX_DEVICES> handles_{};
  std::array<bool, PWL_MAX_DEVICES> present_{};
  std::array<std::uint16_t, PWL_MAX_DEVICES> presentList_{};
  int presentCount_ = 0;
};

}  // namespace pellwick
