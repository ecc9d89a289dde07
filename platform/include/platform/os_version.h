#pragma once
// The operating-system version that the system's version query reports. The
// platform reports the Windows XP class (NT 5.1, no service-pack letter), so
// every path that the supported Windows versions enable is enabled here.

#include <cstdint>
#include <string>

namespace platform {

inline constexpr std::uint32_t kPlatformWin32Windows = 1;  // 95, 98, Me
inline constexpr std::uint32_t kPlatformWin32Nt = 2;

struct OsVersion {
  std::uint32_t platformId = kPlatformWin32Nt;
  std::uint32_t major = 5;
  std::uint32_t minor = 1;
  std::string servicePackText;  // the version record's service-pack text
};

OsVersion GetOsVersion();

}  // namespace platform
