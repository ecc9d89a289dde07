#pragma once
// Which kernel image, in which download format, goes to a radio: decided
// by the link, the chip family and, where needed, the boot loader's answer
// to the ping. This table alone makes that choice.

#include <optional>

#include "engine/link/kernel_image.h"

// Link modes of a device object.
inline constexpr int kLinkRs232 = 0;
inline constexpr int kLinkUsb = 1;

// Chip families from the product's processor name.
inline constexpr int kChipUnknown = 0;
inline constexpr int kChipHarrow = 1;
inline constexpr int kChipBisel = 2;
inline constexpr int kChipCalder = 3;

// What the boot loader answered to the ping.
enum class BootAnswer { Z, L, None };

struct KernelRoute {
  int linkMode;
  int chipFamily;
  std::optional<BootAnswer> answer;  // nullopt: no ping is made
  KernelImage image;
  int format;                        // download format 1, 2 or 3
};

// True when the boot loader must be pinged before the choice.
bool KernelRouteNeedsPing(int linkMode, int chipFamily);

// The route, or the engine error: 6 for an unknown link mode, 7 for a chip
// family that no route serves on the link, 19 or 20 when the boot loader
// gave the wrong answer for a Harrow or Calder radio.
struct KernelRouteResult {
  int error = 0;
  KernelRoute route{};
};
KernelRouteResult ChooseKernelRoute(int linkMode, int chipFamily, BootAnswer answer);
