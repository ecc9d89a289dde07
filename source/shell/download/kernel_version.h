#pragma once
// Kernel version codes and the version held in a local kernel file.

#include <string>
#include <string_view>

#include "shell/download/download_settings.h"

// A version code: lower-cased and without its "." characters it must be
// exactly 7 characters: a kind letter (d, i or r), a two-character family
// code, a two-digit major and a two-digit minor number. Anything else is
// kind '0', family "00", major 0, minor -1.
struct KernelVersion {
  char kind = '0';
  std::string family = "00";  // lower case
  int major = 0;
  int minor = -1;
};

KernelVersion ParseKernelVersion(std::string_view code);

// The local kernel file of a family code; empty for a family without one.
std::string KernelFileForFamily(std::string_view family);

// The version text of a kernel S-record file: the text after "uKV Kernel
// Version " up to the next zero byte, searched in the second data block of
// the file; "Unknown" when the marker is absent. A failure is logged
// ("Error> ...") and gives what was read so far.
std::string ReadKernelFileVersion(const DownloadSettings& settings, const std::string& name);
