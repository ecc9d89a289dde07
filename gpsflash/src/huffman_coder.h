#pragma once
// The Huffman block coder of the block downloads.
//
// Prepare() counts the byte values over the valid bytes of an image and
// builds the tree: leaves 0..255, internal nodes 256..510, node 510 the root.
// The first child of a node is branch bit 0, the second bit 1, and the first
// branch from the root is a code's bit 0. Every byte value has a code (a value
// that the image never gives still occurs in blocks, as fill or as flash bytes
// that a preserved sector keeps). The tree travels to the target in one
// 1020-byte message.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bit_stream.h"

namespace ambrel {

class HuffmanCoder {
 public:
  static constexpr unsigned kLeaves = 256;
  static constexpr unsigned kRootNode = 510;
  static constexpr std::size_t kTreeMessageSize = 1020;

  struct Preparation {
    double gain = 0;                   // 1 - coded bits / (8 x valid bytes)
    std::size_t largestBlockBits = 0;  // coded size of the largest 1 KB block
  };

  // Builds the tree and the codes from the valid bytes of `data`.
  Preparation Prepare(const std::uint8_t* data, const std::uint8_t* valid, std::size_t length);

  // Appends the code of every byte to `out` (cleared first) and returns the
  // bit count; stops early once the count passes `limitBits`.
  std::size_t EncodeBlock(const std::uint8_t* block, std::size_t length, BitWriter& out,
                          std::size_t limitBits = SIZE_MAX) const;

  // For internal nodes 256..510: first child, second child, big-endian u16
  // each; a leaf v is 0xFF00 + v, an internal node n is n - 256.
  std::array<std::uint8_t, kTreeMessageSize> TreeMessage() const;

  unsigned CodeLength(std::uint8_t value) const { return codes_[value].length; }

 private:
  struct Code {
    std::array<std::uint8_t, 256> bits{};  // one bit per entry, first branch first
    unsigned length = 0;
  };
  struct Node {
    unsigned first = 0;
    unsigned second = 0;
  };

  void BuildTree(const std::array<std::uint64_t, kLeaves>& counts);
  void AssignCodes();

  std::array<Node, kLeaves - 1> internal_{};  // node n at index n - 256
  std::array<Code, kLeaves> codes_{};
};

}  // namespace ambrel
