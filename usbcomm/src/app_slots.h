#pragma once
// The application slots and the per-slot notification targets.

#include <array>
#include <cstdint>

#include "pellwick/pellwick.h"

namespace pellwick {

enum AppState : std::int16_t {
  kAppFree = 0,
  kAppRegistered = 1,
  kAppDeselected = 2,
  kAppSelected = 3,  // device selected, or slot taken by PWLInitialize
};

inline constexpr std::int16_t kFreeIndex = 255;
inline constexpr std::int16_t kDefaultEpSize = 16;

struct PWL_APP_RECORD {
  std::int16_t index = kFreeIndex;
  std::int16_t state = kAppFree;
  std::int32_t interfaceHandle = 0;
  std::int16_t deviceId = -1;
  std::int16_t spare = 0;
  std::int16_t writeEpSize = 0;
  std::int16_t readEpSize = 0;
  std::int32_t protocol = 0;
};

struct NotifyTargets {
  std::uint32_t thread = 0;
  std::uint32_t window = 0;
};

class AppSlots {
 public:
  // The first free slot, or -1.
  int FindFree() const;
  // PWL_RC_SUCCESS for a registered slot, else -3 (out of range) or -4 (free).
  int Check(unsigned app) const;
  static bool InRange(unsigned app) { return app < PWL_MAX_APPS; }

  // Takes a slot in the given state; the count rises.
  void Take(int app, AppState state);
  // Frees a slot; the count falls.
  void Release(int app);

  PWL_APP_RECORD& operator[](unsigned app) { return slots_[app]; }
  NotifyTargets& Targets(unsigned app) { return targets_[app]; }
  const std::array<NotifyTargets, PWL_MAX_APPS>& AllTargets() const { return targets_; }
  int Count() const { return count_; }

 private:
  std::array<PWL_APP_RECORD, PWL_MAX_APPS> slots_{};
  std::array<NotifyTargets, PWL_MAX_APPS> targets_{};
  int count_ = 0;
};

}  // namespace pellwick
