#include "gps_sim/block_decoders.h"

namespace gps_sim {
namespace {

class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t bytes, unsigned padBits)
      : data_(data), bits_(bytes * 8 >= padBits ? bytes * 8 - padBits : 0) {}
  bool Take(unsigned count, std::uint32_t& value) {
    value = 0;
    for (unsigned i = 0; i < count; ++i) {
      if (at_ >= bits_) return false;
      value |= std::uint32_t{static_cast<std::uint32_t>((data_[at_ / 8] >> (at_ % 8)) & 1u)} << i;
      ++at_;
    }
    return true;
  }
  bool AtEnd() const { return at_ == bits_; }

 private:
  const std::uint8_t* data_;
  std::size_t bits_;
  std::size_t at_ = 0;
};

constexpr unsigned kLeafMark = 0xFF00;

}  // namespace

std::uint16_t SimCrc16(const std::uint8_t* data, std::size_t length, std::uint16_t seed) {
  std::uint16_t crc = seed;
  for (std::size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  return crc;
}

std::optional<std::vector<std::uint8_t>> SimLzssDecoder::Decode(const std::uint8_t* stream, std::size_t bytes,
                                                                unsigned padBits, std::uint32_t offset,
                                                                std::size_t length) {
  if (padBits > 7) return std::nullopt;
  if (!haveLast_ || offset != nextOffset_) position_ = 1;
  haveLast_ = false;  // a broken block breaks the stream
  BitReader in(stream, bytes, padBits);
  std::vector<std::uint8_t> out;
  out.reserve(length);
  auto put = [&](std::uint8_t byte) {
    out.push_back(byte);
    ring_[position_] = byte;
    position_ = (position_ + 1) % 1024;
  };
  while (out.size() < length) {
    std::uint32_t flag = 0;
    if (!in.Take(1, flag)) return std::nullopt;
    if (flag) {
      std::uint32_t byte = 0;
      if (!in.Take(8, byte)) return std::nullopt;
      put(static_cast<std::uint8_t>(byte));
      continue;
    }
    std::uint32_t from = 0;
    std::uint32_t count = 0;
    if (!in.Take(10, from) || !in.Take(4, count)) return std::nullopt;
    count += 2;
    if (out.size() + count > length) return std::nullopt;
    for (std::uint32_t i = 0; i < count; ++i) put(ring_[(from + i) % 1024]);
  }
  if (!in.AtEnd()) return std::nullopt;
  haveLast_ = true;
  nextOffset_ = offset + static_cast<std::uint32_t>(length);
  return out;
}

bool SimHuffmanDecoder::SetTree(const std::uint8_t* message, std::size_t length) {
  haveTree_ = false;
  if (length != 1020) return false;
  for (unsigned node = 0; node < 255; ++node) {
    for (unsigned side = 0; side < 2; ++side) {
      const std::size_t at = node * 4 + side * 2;
      const unsigned field = (unsigned{message[at]} << 8) | message[at + 1];
      // An internal child must be a node made before this one (no cycles).
      if (field < kLeafMark && field >= node) return false;
      if (field > kLeafMark + 255) return false;
      children_[node][side] = static_cast<std::uint16_t>(field);
    }
  }
  haveTree_ = true;
  return true;
}

std::optional<std::vector<std::uint8_t>> SimHuffmanDecoder::Decode(const std::uint8_t* stream, std::size_t bytes,
                                                                   unsigned padBits, std::size_t length) const {
  if (!haveTree_ || padBits > 7) return std::nullopt;
  BitReader in(stream, bytes, padBits);
  std::vector<std::uint8_t> out;
  out.reserve(length);
  while (out.size() < length) {
    unsigned node = 254;  // node 510
    for (;;) {
      std::uint32_t bit = 0;
      if (!in.Take(1, bit)) return std::nullopt;
      const unsigned child = children_[node][bit];
      if (child >= kLeafMark) {
        out.push_back(static_cast<std::uint8_t>(child - kLeafMark));
        break;
      }
      node = child;
    }
  }
  if (!in.AtEnd()) return std::nullopt;
  return out;
}

}  // namespace gps_sim
