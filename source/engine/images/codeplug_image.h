#pragma once
// A view over a codeplug image in memory: block count blocks of block size
// bytes, each starting with a table of 8-byte unit headers {id (BE16), -,
// length in words, data offset in words (BE16), 0x1E, 8} ended by id 0xFFFF.
// A unit's data lies downward from the last 16 bytes of its block. Unit 0 is
// the index: a 16-bit total length L, index words from byte 2 and 8-byte
// entries {unit number (BE16), -, word count, first item id (BE16), -, -}
// that fill the end of the L bytes. Item k of unit number N is the unit
// with id first-item-id + k - 1; its data starts with an 8-byte header that
// holds the item length (bytes 2-3) and the item checksum (bytes 6-7).
//
// Every range is checked against the image, the unit and the item before a
// byte is read or written; failures are thrown as CP_EXCEPTION values.

#include <cstdint>
#include <vector>

#include "engine/images/codeplug_error.h"

class CCodeplugImage {
 public:
  // The image must span blockSize x blockCount bytes from imageBase. Loads
  // the index; throws when the image has no index unit or it is malformed.
  CCodeplugImage(std::uint8_t* imageBase, std::uint32_t blockSize, std::int32_t blockCount,
                 std::uint8_t wordSize);

  // The unit's header, or null when no block holds a valid one.
  std::uint8_t* FindUnitHeader(std::uint32_t unitId) const;
  std::uint8_t* SearchBlock(std::uint32_t unitId, std::uint8_t* blockStart) const;
  std::uint32_t UnitLength(const std::uint8_t* header) const;
  std::uint8_t* UnitDataPointer(const std::uint8_t* header) const;

  void ReadUnitData(std::uint32_t unitId, void* destination, std::uint32_t length,
                    std::uint32_t offset) const;
  void WriteUnitData(std::uint32_t unitId, const void* source, std::uint32_t length,
                     std::uint32_t offset);

  // The first-item id of the entry for the unit number.
  std::uint32_t FindIndexEntry(std::uint32_t unitNumber) const;
  std::uint32_t ItemLength(std::uint32_t unitNumber, std::uint32_t item) const;
  void ReadItem(std::uint32_t unitNumber, std::uint32_t item, void* destination,
                std::uint32_t length, std::uint32_t offset) const;
  // Writes into the item's data and renews its checksum.
  void WriteItem(std::uint32_t unitNumber, std::uint32_t item, const void* source,
                 std::uint32_t length, std::uint32_t offset);

  std::uint32_t IndexWordCount() const { return indexWordCount_; }
  std::uint32_t IndexEntryCount() const { return indexEntryCount_; }
  const std::vector<std::uint8_t>& IndexWords() const { return indexWords_; }
  const std::vector<std::uint8_t>& IndexEntries() const { return indexEntries_; }

 private:
  struct Unit {
    std::uint8_t* data;
    std::uint32_t length;
  };

  Unit LocateUnit(std::uint32_t unitId) const;
  std::uint32_t ItemUnitId(std::uint32_t unitNumber, std::uint32_t item) const;
  void LoadIndex();

  std::uint8_t* imageBase_;
  std::uint32_t blockSize_;
  std::int32_t blockCount_;
  std::uint8_t wordSize_;
  std::uint64_t imageSize_;
  std::uint32_t indexWordCount_ = 0;
  std::uint32_t indexEntryCount_ = 0;
  std::vector<std::uint8_t> indexWords_;
  std::vector<std::uint8_t> indexEntries_;
};

// 0xAAAB plus the sum of the item's data bytes, modulo 65536.
std::uint16_t ItemChecksum(const std::uint8_t* data, std::uint32_t length);
