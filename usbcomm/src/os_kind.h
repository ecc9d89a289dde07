#pragma once
// The Windows version class (OsClass 0..7) that the device-mutex time-outs
// depend on.

#include <string>

namespace pellwick {

struct OsVersion {
  bool ntPlatform = true;
  unsigned major = 5;
  unsigned minor = 1;
  std::string servicePack;
};

// The version this system reports: the Windows XP class (NT 5.1).
inline OsVersion ReportedOsVersion() { return OsVersion{}; }

// The class of a version; versions the table does not know keep `previous`.
int GetOsKind(const OsVersion& version, int previous);

// How long a wait for the device mutex lasts on a class, in milliseconds.
unsigned DeviceMutexTimeoutMs(int osClass);

}  // namespace pellwick
