#include "engine/images/brecord_file.h"

#include <cstring>

namespace {

constexpr char kHeader[] = "B000FF\n";
constexpr std::size_t kHeaderLength = sizeof kHeader - 1;

std::uint32_t LittleEndian32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace

CBRecordFile::~CBRecordFile() {
  if (file_ != nullptr) std::fclose(file_);
}

void CBRecordFile::OpenBRecordFile(const std::string& fileName, int mode,
                                   std::uint32_t& startValue) {
  if (mode != 0) throw BREC_MODE_NOT_SUPPORTED;
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  file_ = std::fopen(fileName.c_str(), "rb");
  if (file_ == nullptr) throw BREC_OPEN_ERROR;
  pending_ = false;
  firstRecord_ = true;

  std::uint8_t lead[kHeaderLength + 1];
  ReadExact(lead, kHeaderLength);
  if (std::memcmp(lead, kHeader, kHeaderLength) == 0) {
    startValue = ReadValue();
    ReadValue();
    return;
  }
  // No header: those bytes and one more are the start value and the second value.
  ReadExact(lead + kHeaderLength, 1);
  startValue = LittleEndian32(lead);
}

void CBRecordFile::CloseBRecordFile() {
  if (file_ == nullptr) return;
  const bool ok = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!ok) throw BREC_CLOSE_ERROR;
}

void CBRecordFile::ReadExact(void* buffer, std::size_t count) {
  if (file_ == nullptr) throw BREC_READ_ERROR;
  if (count == 0) return;
  if (std::fread(buffer, 1, count, file_) == count) return;
  throw std::feof(file_) ? BREC_END_OF_FILE : BREC_READ_ERROR;
}

std::uint32_t CBRecordFile::ReadValue() {
  std::uint8_t bytes[4];
  ReadExact(bytes, sizeof bytes);
  return LittleEndian32(bytes);
}

std::uint32_t CBRecordFile::ReadBRecordBlock(std::uint8_t* buffer, std::uint32_t bufferSize,
                                             std::uint32_t& address, int& endFlag,
                                             std::uint32_t& length) {
  if (!pending_) {
    std::uint8_t header[12];
    ReadExact(header, sizeof header);
    address_ = LittleEndian32(header);
    length_ = LittleEndian32(header + 4);
    checksum_ = LittleEndian32(header + 8);
    pending_ = true;
  }
  address = address_;
  length = length_;
  if (bufferSize == 0) return 0;  // looked at only; the record stays pending

  if (!firstRecord_ && address_ == 0) {
    endFlag = 1;
    pending_ = false;
    firstRecord_ = true;
    return 0;
  }
  // A record that does not fit leaves the reader where it was, so that a
  // call with a larger buffer reads this same record.
  if (length_ > bufferSize) throw BREC_BUFFER_TOO_SMALL;
  endFlag = 0;
  firstRecord_ = false;
  pending_ = false;
  ReadExact(buffer, length_);
  std::uint32_t sum = 0;
  for (std::uint32_t i = 0; i < length_; ++i) sum += buffer[i];
  if (sum != checksum_) throw BREC_INVALID_CHECKSUM;
  return length_;
}
