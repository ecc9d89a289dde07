#include "engine/images/codeplug_image.h"

#include <cstring>

namespace {

constexpr std::uint32_t kHeaderSize = 8;
constexpr std::uint32_t kTableEnd = 0xFFFF;
constexpr std::uint8_t kValidMark6 = 0x1E;
constexpr std::uint8_t kValidMark7 = 8;
constexpr std::int64_t kBlockTail = 16;
constexpr std::uint32_t kIndexUnit = 0;
constexpr std::uint32_t kIndexEntrySize = 8;
constexpr std::uint32_t kItemHeaderSize = 8;

std::uint32_t BigEndian16(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) << 8 | bytes[1];
}

void StoreBigEndian16(std::uint8_t* bytes, std::uint16_t value) {
  bytes[0] = static_cast<std::uint8_t>(value >> 8);
  bytes[1] = static_cast<std::uint8_t>(value);
}

bool IsValidHeader(const std::uint8_t* header) {
  return header[6] == kValidMark6 && header[7] == kValidMark7;
}

// True when length bytes from offset lie within a range of size bytes.
bool FitsWithin(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
  return offset <= size && length <= size - offset;
}

}  // namespace

std::uint16_t ItemChecksum(const std::uint8_t* data, std::uint32_t length) {
  std::uint32_t sum = 0xAAAB;
  for (std::uint32_t i = 0; i < length; ++i) sum += data[i];
  return static_cast<std::uint16_t>(sum);
}

CCodeplugImage::CCodeplugImage(std::uint8_t* imageBase, std::uint32_t blockSize,
                               std::int32_t blockCount, std::uint8_t wordSize)
    : imageBase_(imageBase),
      blockSize_(blockSize),
      blockCount_(blockCount),
      wordSize_(wordSize),
      imageSize_(blockCount > 0 ? std::uint64_t{blockSize} * static_cast<std::uint64_t>(blockCount)
                                : 0) {
  LoadIndex();
}

std::uint8_t* CCodeplugImage::FindUnitHeader(std::uint32_t unitId) const {
  for (std::int32_t block = 0; block < blockCount_; ++block) {
    std::uint8_t* header =
        SearchBlock(unitId, imageBase_ + std::uint64_t{blockSize_} * static_cast<std::uint64_t>(block));
    if (header != nullptr) return header;
  }
  return nullptr;
}

std::uint8_t* CCodeplugImage::SearchBlock(std::uint32_t unitId, std::uint8_t* blockStart) const {
  for (std::uint64_t position = 0;; position += kHeaderSize) {
    if (position + kHeaderSize > blockSize_) throw CP_SEARCH_RANGE_EXCEEDED;
    std::uint8_t* header = blockStart + position;
    const std::uint32_t id = BigEndian16(header);
    if (id == kTableEnd) return nullptr;
    if (id == unitId && IsValidHeader(header)) return header;
  }
}

std::uint32_t CCodeplugImage::UnitLength(const std::uint8_t* header) const {
  return std::uint32_t{wordSize_} * header[3];
}

std::uint8_t* CCodeplugImage::UnitDataPointer(const std::uint8_t* header) const {
  const auto headerOffset = static_cast<std::uint64_t>(header - imageBase_);
  const std::uint64_t blockStart = blockSize_ == 0 ? 0 : headerOffset / blockSize_ * blockSize_;
  const std::int64_t data = static_cast<std::int64_t>(blockStart + blockSize_) - kBlockTail -
                            std::int64_t{wordSize_} * BigEndian16(header + 4);
  // The whole of the unit's data must lie inside the image.
  if (data < 0 || static_cast<std::uint64_t>(data) >= imageSize_ ||
      !FitsWithin(static_cast<std::uint64_t>(data), UnitLength(header), imageSize_)) {
    throw CP_DATA_POINTER_OUT_OF_RANGE;
  }
  return imageBase_ + data;
}

CCodeplugImage::Unit CCodeplugImage::LocateUnit(std::uint32_t unitId) const {
  const std::uint8_t* header = FindUnitHeader(unitId);
  if (header == nullptr) throw CP_UNIT_HEADER_NOT_FOUND;
  return Unit{UnitDataPointer(header), UnitLength(header)};
}

void CCodeplugImage::ReadUnitData(std::uint32_t unitId, void* destination, std::uint32_t length,
                                  std::uint32_t offset) const {
  const Unit unit = LocateUnit(unitId);
  if (!FitsWithin(offset, length, unit.length)) throw CP_READ_OUT_OF_RANGE;
  std::memmove(destination, unit.data + offset, length);
}

void CCodeplugImage::WriteUnitData(std::uint32_t unitId, const void* source, std::uint32_t length,
                                   std::uint32_t offset) {
  const Unit unit = LocateUnit(unitId);
  if (!FitsWithin(offset, length, unit.length)) throw CP_WRITE_OUT_OF_RANGE;
  std::memmove(unit.data + offset, source, length);
}

void CCodeplugImage::LoadIndex() {
  const Unit index = LocateUnit(kIndexUnit);
  const auto start = static_cast<std::uint64_t>(index.data - imageBase_);
  if (!FitsWithin(start, 2, imageSize_)) throw CP_READ_OUT_OF_RANGE;
  const std::uint32_t total = BigEndian16(index.data);
  if (!FitsWithin(start, total, imageSize_)) throw CP_READ_OUT_OF_RANGE;

  // The words grow from the front, the entries from the back; each entry
  // says how many words it owns.
  std::int64_t front = 0;
  std::int64_t back = static_cast<std::int64_t>(total) - kIndexEntrySize;
  std::uint64_t words = 0;
  std::uint64_t entries = 0;
  while (front < back) {
    const std::uint8_t owned = index.data[back + 3];
    ++entries;
    words += owned;
    front += 2 * std::int64_t{owned};
    back -= kIndexEntrySize;
  }
  if (2 + 2 * words + kIndexEntrySize * entries > total) throw CP_READ_OUT_OF_RANGE;

  indexWordCount_ = static_cast<std::uint32_t>(words);
  indexEntryCount_ = static_cast<std::uint32_t>(entries);
  indexWords_.assign(index.data + 2, index.data + 2 + 2 * words);
  const std::uint8_t* firstEntry = index.data + total - kIndexEntrySize * entries;
  indexEntries_.assign(firstEntry, firstEntry + kIndexEntrySize * entries);
}

std::uint32_t CCodeplugImage::FindIndexEntry(std::uint32_t unitNumber) const {
  for (std::uint32_t i = 0; i < indexEntryCount_; ++i) {
    const std::uint8_t* entry = indexEntries_.data() + kIndexEntrySize * i;
    if (BigEndian16(entry) == unitNumber) return BigEndian16(entry + 4);
  }
  throw CP_UNIT_NUMBER_NOT_FOUND;
}

std::uint32_t CCodeplugImage::ItemUnitId(std::uint32_t unitNumber, std::uint32_t item) const {
  // Ids are 16 bits wide; a sum outside them names no unit.
  return FindIndexEntry(unitNumber) + item - 1;
}

std::uint32_t CCodeplugImage::ItemLength(std::uint32_t unitNumber, std::uint32_t item) const {
  std::uint8_t header[kItemHeaderSize];
  ReadUnitData(ItemUnitId(unitNumber, item), header, sizeof header, 0);
  return BigEndian16(header + 2);
}

void CCodeplugImage::ReadItem(std::uint32_t unitNumber, std::uint32_t item, void* destination,
                              std::uint32_t length, std::uint32_t offset) const {
  if (!FitsWithin(offset, length, ItemLength(unitNumber, item))) throw CP_READ_OUT_OF_RANGE;
  ReadUnitData(ItemUnitId(unitNumber, item), destination, length, offset + kItemHeaderSize);
}

void CCodeplugImage::WriteItem(std::uint32_t unitNumber, std::uint32_t item, const void* source,
                               std::uint32_t length, std::uint32_t offset) {
  const Unit unit = LocateUnit(ItemUnitId(unitNumber, item));
  if (unit.length < kItemHeaderSize) throw CP_WRITE_OUT_OF_RANGE;
  const std::uint32_t itemLength = BigEndian16(unit.data + 2);
  // The checksum covers the whole item, so all of it must lie in the unit.
  if (!FitsWithin(kItemHeaderSize, itemLength, unit.length) ||
      !FitsWithin(offset, length, itemLength)) {
    throw CP_WRITE_OUT_OF_RANGE;
  }
  std::uint8_t* itemData = unit.data + kItemHeaderSize;
  std::memmove(itemData + offset, source, length);
  StoreBigEndian16(unit.data + 6, ItemChecksum(itemData, itemLength));
}
