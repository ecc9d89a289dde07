#include "engine/link/kernel_image.h"

namespace {

struct ImageName {
  KernelImage image;
  const char* file;
};

constexpr ImageName kImageFiles[] = {
    {KernelImage::Calder, "calderkrnl.s19"},
    {KernelImage::Harrow, "harrowkrnl.s19"},
    {KernelImage::HarrowU, "harrowkrnlu.s19"},
    {KernelImage::Bisel, "biselkrnl.s19"},
};

// Index = kernel type number of the setter and getter.
constexpr KernelImage kImageByType[] = {KernelImage::HarrowU, KernelImage::Harrow, KernelImage::Bisel,
                                        KernelImage::Calder};

}  // namespace

const char* KernelImageFileName(KernelImage image) {
  for (const auto& entry : kImageFiles)
    if (entry.image == image) return entry.file;
  return "";
}

std::optional<KernelImage> KernelImageFromType(int kernelType) {
  if (kernelType < 0 || kernelType >= static_cast<int>(std::size(kImageByType))) return std::nullopt;
  return kImageByType[kernelType];
}
