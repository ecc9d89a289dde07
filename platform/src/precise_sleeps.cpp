#include "platform/precise_sleeps.h"

#include <sys/prctl.h>

namespace platform {

bool UsePreciseSleeps() {
  // One nanosecond: the smallest slack the system takes (0 would restore its default).
  return ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
}

}  // namespace platform
