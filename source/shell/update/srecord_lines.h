#pragma once
// The text view of an S-record file that the update flash reads: the lines
// of the file in memory, each with its record fields taken as text exactly
// as they stand (upper-case hexadecimal, two characters per byte).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CSRecordLines {
 public:
  // Reads every line of the file (LF or CR LF); false when it cannot be opened.
  bool Load(const std::string& path);

  std::size_t Count() const { return lines_.size(); }
  const std::string& Line(std::size_t index) const { return lines_[index]; }

  // An S3 data record: "S3", count, 8 address digits, data, checksum.
  bool IsDataRecord(std::size_t index) const;
  // The address of an S3 record.
  std::optional<std::uint32_t> Address(std::size_t index) const;
  // The 8 address digits of an S3 record as they stand.
  std::string AddressField(std::size_t index) const;
  // Data bytes of an S3 record (its count field less address and checksum).
  std::optional<std::size_t> DataLength(std::size_t index) const;
  // `count` data characters of the record from data byte `offset`; empty
  // when the record holds fewer.
  std::string DataText(std::size_t index, std::size_t offset, std::size_t count) const;
  // `chars` data characters from byte `offset`, going on with the data of
  // the following record when this one ends first.
  std::optional<std::string> DataTextAcross(std::size_t index, std::size_t offset, std::size_t chars) const;
  // The data byte offsets (byte-aligned) of the record at which `marker`
  // (an even number of hex digits) begins, from byte `from` on.
  std::optional<std::size_t> FindInData(std::size_t index, const std::string& marker, std::size_t from) const;

 private:
  std::vector<std::string> lines_;
};

// 8 upper-case hexadecimal digits.
std::string Hex8(std::uint32_t value);
// The value of hexadecimal digits; none when any is not a digit.
std::optional<std::uint32_t> ParseHex(const std::string& digits);
