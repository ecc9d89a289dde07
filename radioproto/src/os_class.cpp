#include "os_class.h"

#include "platform/os_version.h"

namespace gantrel {

OsClass ClassifyOs(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor,
                   const std::string& servicePackText) {
  const char letter = servicePackText.size() > 1 ? servicePackText[1] : '\0';
  if (platformId == platform::kPlatformWin32Nt) {
    if (major == 5 && minor == 0) return OsClass::Win2000;
    if (major == 5 && minor == 1) return OsClass::WinXp;
    return OsClass::NtOld;
  }
  if (platformId == platform::kPlatformWin32Windows && major == 4) {
    if (minor == 0) return letter == 'B' || letter == 'C' ? OsClass::Win95Osr2 : OsClass::Win95;
    if (minor == 10) return letter == 'A' ? OsClass::Win98Se : OsClass::Win98;
    if (minor == 90) return OsClass::WinMe;
  }
  return OsClass::NtOld;
}

OsClass CurrentOsClass() {
  const platform::OsVersion v = platform::GetOsVersion();
  return ClassifyOs(v.platformId, v.major, v.minor, v.servicePackText);
}

bool BindsUsbMonitor(OsClass os) {
  return os == OsClass::Win2000 || os == OsClass::WinXp || os == OsClass::Win98Se || os == OsClass::WinMe;
}

bool IsWin9xReaderClass(OsClass os) {
  return os == OsClass::Win98 || os == OsClass::Win98Se || os == OsClass::WinMe;
}

}  // namespace gantrel
