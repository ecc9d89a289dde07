#include "platform/os_version.h"

namespace platform {

OsVersion GetOsVersion() { return OsVersion{}; }

}  // namespace platform
