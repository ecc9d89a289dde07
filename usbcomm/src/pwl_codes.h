#pragma once
// The library's result codes and the mapping of driver statuses onto them.

#include "pellwick/pellwick.h"

namespace pellwick {

// Driver statuses (EPSTStatus) that the library knows by number.
enum PstStatus : int {
  kPstOk = 0,
  kPstNotLoaded = 5,
  kPstNoDevice = 6,
  kPstWriteTimeout = 8,
  kPstStatus58 = 58,
  kPstReadTimeout = 59,
  kPstReadShort = 60,
};

struct PstStatusMapping {
  int status;
  int result;
};

inline constexpr PstStatusMapping kPstStatusMap[] = {
    {kPstOk, PWL_RC_SUCCESS},          {kPstNotLoaded, PWL_RC_DRIVER_LOAD_FAILED},
    {kPstNoDevice, PWL_RC_NO_DEVICE},  {kPstWriteTimeout, PWL_RC_WRITE_TIMEOUT},
    {kPstStatus58, PWL_RC_DRIVER_STATUS_58}, {kPstReadTimeout, PWL_RC_READ_TIMEOUT},
    {kPstReadShort, PWL_RC_READ_SHORT},
};

// A driver status as a PWL_RC; statuses not in the map are PWL_RC_FAILURE.
constexpr int MapPstStatus(int status) {
  for (const auto& m : kPstStatusMap) {
    if (m.status == status) return m.result;
  }
  return PWL_RC_FAILURE;
}

}  // namespace pellwick
