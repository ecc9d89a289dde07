#pragma once
// S-record texts for the update flash tests: S3 data records of a chosen
// data length over a sparse memory image, with correct checksums.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace shell_test {

// A sparse memory image: blocks of bytes by start address.
using MemoryBlocks = std::map<std::uint32_t, std::vector<std::uint8_t>>;

inline std::string S3Record(std::uint32_t address, const std::uint8_t* data, std::size_t length) {
  const unsigned count = static_cast<unsigned>(length + 5);
  unsigned sum = count + (address >> 24) + ((address >> 16) & 0xFF) + ((address >> 8) & 0xFF) + (address & 0xFF);
  char head[16];
  std::snprintf(head, sizeof head, "S3%02X%08X", count, address);
  std::string line = head;
  for (std::size_t i = 0; i < length; ++i) {
    char byte[3];
    std::snprintf(byte, sizeof byte, "%02X", data[i]);
    line += byte;
    sum += data[i];
  }
  char check[3];
  std::snprintf(check, sizeof check, "%02X", (~sum) & 0xFF);
  return line + check;
}

// Each block as records of `recordLength` data bytes from its start (the
// last one shorter), blocks in address order, between a header and an end
// record.
inline std::string SRecordText(const MemoryBlocks& blocks, std::size_t recordLength) {
  std::string text = "S00600004844521B\n";
  for (const auto& [address, bytes] : blocks) {
    for (std::size_t at = 0; at < bytes.size(); at += recordLength) {
      const std::size_t n = std::min(recordLength, bytes.size() - at);
      text += S3Record(address + static_cast<std::uint32_t>(at), bytes.data() + at, n) + "\n";
    }
  }
  return text + "S70500000000FA\n";
}

inline void WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Puts bytes into the image at an address, growing or creating the block
// that starts at `blockStart`.
inline void Put(MemoryBlocks& blocks, std::uint32_t blockStart, std::uint32_t address,
                const std::vector<std::uint8_t>& bytes) {
  auto& block = blocks[blockStart];
  const std::size_t offset = address - blockStart;
  if (block.size() < offset + bytes.size()) block.resize(offset + bytes.size(), 0xFF);
  for (std::size_t i = 0; i < bytes.size(); ++i) block[offset + i] = bytes[i];
}

inline std::vector<std::uint8_t> BigEndian32(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
          static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

inline std::vector<std::uint8_t> HexBytes(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

}  // namespace shell_test
