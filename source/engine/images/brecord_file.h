#pragma once
// Reads a B-record file: an optional header "B000FF\n", a start value and a
// second value, then records of {address, length, checksum} (32-bit little
// endian) each followed by length raw data bytes. A record with address 0
// that is not the first record since the open (or since the last end
// record) is an end record and carries no data. The checksum is the 32-bit
// sum of the data bytes. Failures are thrown as BREC_EXCEPTION values.

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/images/brecord_error.h"

class CBRecordFile {
 public:
  CBRecordFile() = default;
  ~CBRecordFile();
  CBRecordFile(const CBRecordFile&) = delete;
  CBRecordFile& operator=(const CBRecordFile&) = delete;

  // Mode must be 0 (reading). Reads the optional header and the two values
  // before the records; startValue receives the first of them.
  void OpenBRecordFile(const std::string& fileName, int mode, std::uint32_t& startValue);
  void CloseBRecordFile();

  // Reads the next record into buffer and returns its number of data bytes.
  // address and length are the record's; endFlag is set at an end record.
  // With bufferSize 0 the record is only looked at: it stays pending and
  // the next call returns the same record. A record longer than the buffer
  // throws BREC_BUFFER_TOO_SMALL and likewise stays pending.
  std::uint32_t ReadBRecordBlock(std::uint8_t* buffer, std::uint32_t bufferSize,
                                 std::uint32_t& address, int& endFlag, std::uint32_t& length);

 private:
  void ReadExact(void* buffer, std::size_t count);
  std::uint32_t ReadValue();

  std::FILE* file_ = nullptr;
  std::uint32_t address_ = 0;
  std::uint32_t length_ = 0;
  std::uint32_t checksum_ = 0;
  bool pending_ = false;
  bool firstRecord_ = true;
};
