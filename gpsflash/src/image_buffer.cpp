#include "image_buffer.h"

#include <new>

namespace ambrel {

bool ImageBuffer::Allocate(std::uint32_t lowOffset, std::uint32_t highOffset) {
  low = lowOffset;
  high = highOffset;
  adjustedLow = low & ~(kBlockSize - 1);
  const std::uint64_t adjustedHigh = std::uint64_t{high} | (kBlockSize - 1);
  size = static_cast<std::uint32_t>(adjustedHigh - adjustedLow + 1);
  try {
    data.assign(std::size_t{size} + kCoderSpare, 0xFF);
    valid.assign(size, 0);
    blockMap.assign(size / kBlockSize, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void ImageBuffer::Put(std::uint32_t offset, std::uint8_t value) {
  const std::uint32_t at = offset - adjustedLow;
  data[at] = value;
  valid[at] = 1;
  blockMap[at / kBlockSize] = 1;
}

std::vector<DataRun> NextDataSegment(const std::uint8_t* valid, std::size_t length) {
  std::vector<DataRun> runs;
  std::size_t i = 0;
  while (i < length) {
    if (!valid[i]) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < length && valid[i]) ++i;
    runs.push_back({static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(i - start)});
  }
  return runs;
}

}  // namespace ambrel
