#pragma once
// The flash driver's decoders of compressed block downloads, and its CRC.
//
// Bit streams are read least significant bit first (stream bit k is bit
// k mod 8 of byte k / 8); the request's pad-bit count says how many bits of
// the last byte are not part of the stream.
//
// LZSS: bit 1 then 8 bits is a literal; bit 0, 10 bits of ring position and 4
// bits of length - 2 is a match copied byte by byte from the ring. The ring
// holds 1024 bytes; a fresh stream writes from ring position 1. A stream
// continues from block to block while each block's flash offset follows the
// previous one's; any other block, and a new operation, starts afresh.
//
// Huffman: the tree message gives, for nodes 256..510, the first and second
// child (0xFF00 + v for a leaf of byte v, n - 256 for node n); decoding walks
// from node 510, bit 0 to the first child.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace gps_sim {

std::uint16_t SimCrc16(const std::uint8_t* data, std::size_t length, std::uint16_t seed);

class SimLzssDecoder {
 public:
  void Restart() { haveLast_ = false; }
  // Decodes one block of `length` bytes at flash offset `offset`; nullopt
  // when the stream ends early, runs over, or is longer than its bits.
  std::optional<std::vector<std::uint8_t>> Decode(const std::uint8_t* stream, std::size_t bytes,
                                                  unsigned padBits, std::uint32_t offset,
                                                  std::size_t length = 1024);

 private:
  std::array<std::uint8_t, 1024> ring_{};
  unsigned position_ = 1;
  bool haveLast_ = false;
  std::uint32_t nextOffset_ = 0;
};

class SimHuffmanDecoder {
 public:
  // False when the message is malformed (a child out of range, a cycle).
  bool SetTree(const std::uint8_t* message, std::size_t length);
  bool HasTree() const { return haveTree_; }
  std::optional<std::vector<std::uint8_t>> Decode(const std::uint8_t* stream, std::size_t bytes,
                                                  unsigned padBits, std::size_t length = 1024) const;

 private:
  std::array<std::array<std::uint16_t, 2>, 255> children_{};
  bool haveTree_ = false;
};

}  // namespace gps_sim
