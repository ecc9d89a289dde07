#include "platform/windows_error.h"

#include <cerrno>

namespace platform {

std::uint32_t WindowsErrorOf(int linuxError) {
  switch (linuxError) {
    case 0: return 0;
    case ENOENT:
    case ENOTDIR: return kErrorFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:
    case EWOULDBLOCK: return kErrorAccessDenied;
    case EBADF: return kErrorInvalidHandle;
    case ENOTTY:
    case EINVAL:
    case EISDIR: return kErrorInvalidParameter;
    case EIO: return kErrorIoDevice;
    default: return kErrorGenFailure;
  }
}

}  // namespace platform
