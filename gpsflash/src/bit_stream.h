#pragma once
// A bit stream written least significant bit first: stream bit k is bit
// k mod 8 of byte k / 8. The block coders append their codes to it.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ambrel {

class BitWriter {
 public:
  // Empties the stream; the storage stays for the next block.
  void Clear() {
    bytes_.clear();
    bits_ = 0;
  }
  // Appends the low `count` bits of `value`, bit 0 first (count <= 32).
  void Append(std::uint32_t value, unsigned count) {
    for (unsigned i = 0; i < count; ++i) AppendBit((value >> i) & 1u);
  }
  void AppendBit(unsigned bit) {
    if (bits_ % 8 == 0) bytes_.push_back(0);
    if (bit) bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (1u << (bits_ % 8)));
    ++bits_;
  }
  std::size_t BitCount() const { return bits_; }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  // Pad bits that complete the last byte, as the download requests carry them.
  unsigned PadBits() const { return static_cast<unsigned>(7 - ((bits_ + 7) % 8)); }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t bits_ = 0;
};

}  // namespace ambrel
