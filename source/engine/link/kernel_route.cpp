#include "engine/link/kernel_route.h"

#include "engine/core/kernel_error_code.h"

namespace {

constexpr KernelRoute kRoutes[] = {
    {kLinkRs232, kChipUnknown, BootAnswer::Z, KernelImage::HarrowU, 1},
    {kLinkRs232, kChipUnknown, BootAnswer::L, KernelImage::Calder, 3},
    {kLinkRs232, kChipUnknown, BootAnswer::None, KernelImage::Bisel, 2},
    {kLinkRs232, kChipHarrow, BootAnswer::Z, KernelImage::HarrowU, 1},
    {kLinkRs232, kChipBisel, std::nullopt, KernelImage::Bisel, 2},
    {kLinkRs232, kChipCalder, BootAnswer::L, KernelImage::Calder, 3},
    {kLinkUsb, kChipHarrow, std::nullopt, KernelImage::Harrow, 1},
    {kLinkUsb, kChipCalder, std::nullopt, KernelImage::Calder, 3},
};

// The error when a pinged boot loader gave an answer that no route takes.
struct WrongAnswer {
  int chipFamily;
  int error;
};
constexpr WrongAnswer kWrongAnswerErrors[] = {{kChipHarrow, 19}, {kChipCalder, 20}};


}  // namespace

bool KernelRouteNeedsPing(int linkMode, int chipFamily) {
  for (const auto& r : kRoutes)
    if (r.linkMode == linkMode && r.chipFamily == chipFamily && r.answer) return true;
  return false;
}

KernelRouteResult ChooseKernelRoute(int linkMode, int chipFamily, BootAnswer answer) {
  if (linkMode != kLinkRs232 && linkMode != kLinkUsb) return {KERNEL_ERROR_PROTOCOL_NOT_SPECIFIED};
  bool served = false;
  for (const auto& r : kRoutes) {
    if (r.linkMode != linkMode || r.chipFamily != chipFamily) continue;
    served = true;
    if (!r.answer || *r.answer == answer) return {0, r};
  }
  if (!served) return {KERNEL_ERROR_INVALID_KERNEL_TYPE};
  for (const auto& w : kWrongAnswerErrors)
    if (w.chipFamily == chipFamily) return {w.error};
  return {KERNEL_ERROR_INVALID_KERNEL_TYPE};
}
