#pragma once
// Stand-in for the outside flashpack library: a pack set built over the image
// of a radio's FLASHPACK partition. The formats of the partition image and of
// a pack file are this stand-in's own; FORMAT.md beside this library
// describes them.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// What this library exports; everything else in it is hidden.
#ifndef LUMBRAPACK_EXPORT
#if defined(__GNUC__)
#define LUMBRAPACK_EXPORT __attribute__((visibility("default")))
#else
#define LUMBRAPACK_EXPORT
#endif
#endif

namespace lumbrapack {

// Results of the pack operations.
enum PackResult : int {
  kPackOk = 1,
  kPackNoSpace = -1,           // the partition cannot hold the pack
  kPackBadIndex = -2,          // no pack with that number
  kPackUnknownSignature = -3,  // not a pack file
  kPackTruncated = -4,         // the buffer is shorter than the pack it announces
  kPackVersionMismatch = -5,   // the pack's format version is not the set's
  kPackHeaderVersion = -6,     // the pack header has another layout version
  kPackBadChecksum = -7,       // the pack's contents do not match its checksum
  kPackExists = -8,            // a pack of the same name and type is in the set
  kPackNoFile = -9,            // no pack data at all
};

enum PackType : std::uint8_t { kLanguagePack = 1, kFontPack = 2, kThemePack = 3 };

// What PackInfo fills in for one pack.
struct PackRecord {
  std::uint8_t name[100];  // 50 UTF-16 code units, most significant byte first
  std::uint32_t type;      // PackType
  std::uint16_t version[4];
  char buildLetter;
  std::uint16_t build[3];
  std::uint32_t size;      // bytes the pack takes in the partition
};

// Makes a pack file in this stand-in's format (for tests and tools).
struct PackFileFields {
  PackType type = kLanguagePack;
  std::u16string name;  // at most 50 code units are kept
  std::uint16_t version[4] = {1, 0, 0, 0};
  char buildLetter = 'A';
  std::uint16_t build[3] = {0, 0, 0};
};
LUMBRAPACK_EXPORT std::vector<unsigned char> BuildPackFile(const PackFileFields& fields,
                                         const std::vector<unsigned char>& payload);

}  // namespace lumbrapack

class LUMBRAPACK_EXPORT CPackManager {
 public:
  // Builds the pack set from a partition image read out of a radio. The
  // object keeps its own copy of the data. An erased or unknown partition
  // gives an empty set.
  CPackManager(const unsigned char* data, unsigned long length, char reserved0 = 0,
               unsigned long reserved1 = 0, unsigned long reserved2 = 0, unsigned long reserved3 = 0,
               bool reserved4 = false);
  virtual ~CPackManager();
  CPackManager(const CPackManager&) = delete;
  CPackManager& operator=(const CPackManager&) = delete;

  // Free bytes of the partition.
  virtual unsigned long FreeMemory();
  // Adds the pack file in buffer. length is the buffer's size; 0 means the
  // size is taken from the pack's own header.
  virtual int AddPack(const unsigned char* buffer, unsigned long length);
  // Removes pack number index (from 1).
  virtual int RemovePack(std::uint16_t index);
  // Fills record for pack number index (from 1).
  virtual int PackInfo(std::uint16_t index, lumbrapack::PackRecord* record);
  // Size of the partition image that the current set makes.
  virtual unsigned long ImageSize();
  // Writes that image into buffer (length at least ImageSize()).
  virtual int WriteImage(unsigned char* buffer, unsigned long length);

  // Read directly by callers.
  std::atomic<std::uint16_t> m_packCount{0};
  std::atomic<std::uint32_t> m_totalMemory{0};

 private:
  unsigned long ImageSizeLocked() const;
  void ParsePartition(const unsigned char* data, unsigned long length);

  std::mutex mutex_;
  std::vector<std::vector<unsigned char>> packs_;  // whole pack files, in set order
};
