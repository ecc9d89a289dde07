// The GPS-chip library's image reader over any file: scanning and loading
// never read or write outside the image, and every byte loaded lies within
// the limits the scan gave.

#include <cstdint>
#include <cstdlib>

#include "../fuzz_file.h"
#include "image_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz_support::ScratchFile file(".s19");
  const std::string& path = file.Hold(data, size);
  const auto limits = ambrel::ScanImageFile(ambrel::ImageFileType::Detect, path);
  if (!limits) return 0;
  if (limits->high < limits->low) std::abort();
  // Keep the image small enough for the fuzzer's memory.
  if (limits->high - limits->low > 0x400000) return 0;
  ambrel::ImageBuffer image;
  if (!image.Allocate(limits->low, limits->high)) return 0;
  if (!ambrel::LoadImageFile(ambrel::ImageFileType::Detect, path, image)) std::abort();
  const std::uint32_t first = limits->low - image.adjustedLow;
  const std::uint32_t last = limits->high - image.adjustedLow;
  if (!image.valid[first] || !image.valid[last]) std::abort();
  return 0;
}
