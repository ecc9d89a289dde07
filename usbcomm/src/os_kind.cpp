#include "os_kind.h"

namespace pellwick {

namespace {

char SecondServicePackChar(const OsVersion& v) { return v.servicePack.size() > 1 ? v.servicePack[1] : '\0'; }

int Win9xKind(const OsVersion& v, int previous) {
  const char c = SecondServicePackChar(v);
  if (v.major == 4 && v.minor == 0) return (c == 'C' || c == 'B') ? 4 : 3;
  if (v.major == 4 && v.minor == 10) return c == 'A' ? 6 : 5;
  if (v.major == 4 && v.minor == 90) return 7;
  return previous;
}

int NtKind(const OsVersion& v, int previous) {
  if (v.major <= 4) return 0;
  if (v.major == 5 && v.minor == 0) return 1;
  if (v.major == 5 && v.minor == 1) return 2;
  return previous;
}

}  // namespace

int GetOsKind(const OsVersion& version, int previous) {
  return version.ntPlatform ? NtKind(version, previous) : Win9xKind(version, previous);
}

unsigned DeviceMutexTimeoutMs(int osClass) {
  if (osClass <= 0) return 3000;
  if (osClass == 1 || osClass == 2) return 1000;
  if (osClass == 7) return 2500;
  return 3000;
}

}  // namespace pellwick
