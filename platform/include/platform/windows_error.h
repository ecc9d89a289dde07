#pragma once
// The Windows error numbers that the platform layer's calls report when
// they fail (LastError of a serial port, the FileError of a file call),
// and the mapping from the Linux error that caused them.

#include <cstdint>

namespace platform {

inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorGenFailure = 31;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorIoDevice = 1117;

// The Windows error number for a Linux errno value (0 for 0).
std::uint32_t WindowsErrorOf(int linuxError);

}  // namespace platform
