#pragma once
// The flat image that a program call writes: whole 1 KB blocks from the file's
// lowest offset (rounded down) to its highest (rounded up), with a map of the
// bytes the file gave and a map of the blocks that hold any of them.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ambrel {

inline constexpr std::uint32_t kBlockSize = 1024;
// Bytes readable past the end of every buffer that a block coder reads ahead in.
inline constexpr std::size_t kCoderSpare = 17;

struct ImageBuffer {
  std::uint32_t low = 0;
  std::uint32_t high = 0;
  std::uint32_t adjustedLow = 0;
  std::uint32_t size = 0;              // adjusted high - adjusted low + 1
  std::vector<std::uint8_t> data;      // size + kCoderSpare bytes, 0xFF before loading
  std::vector<std::uint8_t> valid;     // size bytes, 1 where the file gave a byte
  std::vector<std::uint8_t> blockMap;  // one per block, 1 when the block holds file data

  // Sizes the buffers for [low, high]; false when memory runs out.
  bool Allocate(std::uint32_t lowOffset, std::uint32_t highOffset);
  std::size_t BlockCount() const { return size / kBlockSize; }
  // Marks the byte at flash offset `offset` as given by the file.
  void Put(std::uint32_t offset, std::uint8_t value);
};

struct DataRun {
  std::uint32_t offset;
  std::uint32_t length;
};

// Every maximal run of 1s in a valid map, in order.
std::vector<DataRun> NextDataSegment(const std::uint8_t* valid, std::size_t length);

}  // namespace ambrel
