#include "app_slots.h"

namespace pellwick {

int AppSlots::FindFree() const {
  for (int i = 0; i < PWL_MAX_APPS; ++i) {
    if (slots_[i].state == kAppFree) return i;
  }
  return PWL_RC_NO_FREE_APP;
}

int AppSlots::Check(unsigned app) const {
  if (!InRange(app)) return PWL_RC_BAD_APP_INDEX;
  if (slots_[app].state == kAppFree) return PWL_RC_APP_NOT_REGISTERED;
  return PWL_RC_SUCCESS;
}

void AppSlots::Take(int app, AppState state) {
  PWL_APP_RECORD& s = slots_[app];
  s = PWL_APP_RECORD{};
  s.index = static_cast<std::int16_t>(app);
  s.state = state;
  s.writeEpSize = kDefaultEpSize;
  s.readEpSize = kDefaultEpSize;
  ++count_;
}

void AppSlots::Release(int app) {
  PWL_APP_RECORD& s = slots_[app];
  s.state = kAppFree;
  s.index = kFreeIndex;
  s.interfaceHandle = 0;
  s.deviceId = -1;
  s.writeEpSize = 0;
  s.readEpSize = 0;
  s.protocol = 0;
  --count_;
}

}  // namespace pellwick
