#pragma once
// Read-back and update images for the update flash tests.

#include <cstdint>
#include <string>

#include "../support/srecord_text.h"

namespace update_test {

using shell_test::BigEndian32;
using shell_test::HexBytes;
using shell_test::MemoryBlocks;
using shell_test::Put;

inline constexpr std::uint32_t kPointerArea = 0x10010000;
inline constexpr std::uint32_t kModelArea = 0x105CFFF0;

// What the radio's read-back holds.
struct RadioImageSpec {
  std::uint32_t pointer = 0x10010100;  // the version lies 0x39 bytes on
  std::string version = "0102030405060708";
  std::uint32_t marker = 0x105D0010;   // the model code lies 33 bytes on
  std::string model = "4E383231";
  bool pointerRecord = true;
  bool modelArea = true;
};

// The radio's memory: the area of the version pointer and the version, and
// the model area, zero-filled.
inline MemoryBlocks RadioMemory(const RadioImageSpec& spec) {
  MemoryBlocks blocks;
  const std::uint32_t pointerBlock = spec.pointerRecord ? kPointerArea : kPointerArea + 0x100;
  blocks[pointerBlock] = std::vector<std::uint8_t>(0x300 - (pointerBlock - kPointerArea), 0);
  if (spec.pointerRecord) Put(blocks, pointerBlock, 0x100100CC, BigEndian32(spec.pointer));
  Put(blocks, pointerBlock, spec.pointer + 0x39, HexBytes(spec.version));
  if (spec.modelArea) {
    blocks[kModelArea] = std::vector<std::uint8_t>(0x110, 0);
    Put(blocks, kModelArea, spec.marker, {0x44, 0x49});
    Put(blocks, kModelArea, spec.marker + 33, HexBytes(spec.model));
  }
  return blocks;
}

// The new firmware: su carries the version pointer and the version, cp the
// model marker and the model code, lp some text; records of `recordLength`.
struct FirmwareSpec {
  std::uint32_t pointer = 0x10010200;
  std::string version = "0102030405060709";
  std::string model = "4E383231";
  std::size_t recordLength = 32;
};

inline MemoryBlocks SuMemory(const FirmwareSpec& spec) {
  MemoryBlocks blocks;
  blocks[kPointerArea] = std::vector<std::uint8_t>(0x300, 0x11);
  Put(blocks, kPointerArea, 0x100100CC, BigEndian32(spec.pointer));
  // A pointer out of the image points at nothing.
  const std::uint32_t version = spec.pointer + 0x39;
  if (version >= kPointerArea && version < kPointerArea + 0x300) Put(blocks, kPointerArea, version, HexBytes(spec.version));
  return blocks;
}

inline MemoryBlocks CpMemory(const FirmwareSpec& spec) {
  MemoryBlocks blocks;
  blocks[0x105D0000] = std::vector<std::uint8_t>(0x100, 0x22);
  Put(blocks, 0x105D0000, 0x105D0010, {0x44, 0x49});
  Put(blocks, 0x105D0000, 0x105D0010 + 33, HexBytes(spec.model));
  return blocks;
}

inline MemoryBlocks LpMemory() {
  MemoryBlocks blocks;
  blocks[0x10400000] = std::vector<std::uint8_t>(0x180, 0x5A);
  return blocks;
}

// The update text of an image: the S-record text scrambled with the key.
inline std::string Scrambled(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = static_cast<char>(static_cast<unsigned char>(c) ^ 0xA7);
  return out;
}

}  // namespace update_test
