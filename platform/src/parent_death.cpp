#include "platform/parent_death.h"

#include <sys/prctl.h>

#include <csignal>

namespace platform {

void EndWithParent() { ::prctl(PR_SET_PDEATHSIG, SIGKILL); }

}  // namespace platform
