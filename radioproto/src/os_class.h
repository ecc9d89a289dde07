#pragma once
// The operating-system class that picks the library's thread and I/O
// variants and whether the USB device monitor is bound.

#include <cstdint>
#include <string>

namespace gantrel {

enum class OsClass : int {
  NtOld = 0,  // NT 4 or older, and any NT newer than 5.1
  Win2000 = 1,
  WinXp = 2,
  Win95 = 3,
  Win95Osr2 = 4,
  Win98 = 5,
  Win98Se = 6,
  WinMe = 7,
};

OsClass ClassifyOs(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor,
                   const std::string& servicePackText);
// The class of the system the library runs on.
OsClass CurrentOsClass();
// Whether the USB device monitor is loaded on this class.
bool BindsUsbMonitor(OsClass os);
// Windows 98, 98 SE and Me: readers signal their end for the close.
bool IsWin9xReaderClass(OsClass os);

}  // namespace gantrel
