#pragma once
// The four flashing-kernel images, named by their files wherever they are
// stored or passed, so no list order can mix them up.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

enum class KernelImage { Calder, Harrow, HarrowU, Bisel };

inline constexpr std::size_t kKernelImageCount = 4;

// "calderkrnl.s19", "harrowkrnl.s19", "harrowkrnlu.s19", "biselkrnl.s19".
const char* KernelImageFileName(KernelImage image);

// The kernel type numbers of SetKernelImage and GetKernelImage: 0
// harrowkrnlu, 1 harrowkrnl, 2 biselkrnl, 3 calderkrnl; nullopt for others.
std::optional<KernelImage> KernelImageFromType(int kernelType);

// One kernel image as the device object holds it: a pointer into a
// registry buffer, its length, and where it goes in the radio's RAM.
struct KernelImageSlot {
  const std::uint8_t* image = nullptr;
  std::uint32_t length = 0;
  std::uint32_t loadAddress = 0;
};

// The four slots, reached only by image name.
class KernelImageSet {
 public:
  KernelImageSlot& operator[](KernelImage image) { return slots_[static_cast<std::size_t>(image)]; }
  const KernelImageSlot& operator[](KernelImage image) const { return slots_[static_cast<std::size_t>(image)]; }

 private:
  std::array<KernelImageSlot, kKernelImageCount> slots_{};
};
