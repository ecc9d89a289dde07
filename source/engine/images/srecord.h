#pragma once
// One S-record line: "S", the type digit, the count (2 hex digits), the
// address (2 x AddressBytes digits), the data bytes (2 digits each) and the
// checksum (2 digits). The count covers the address bytes, the data bytes
// and the checksum. S0 records carry no address field: everything after the
// count is data.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

struct SRecord {
  std::uint32_t type = 0;
  std::uint8_t count = 0;
  std::uint32_t address = 0;
  std::array<std::uint8_t, 254> data{};
  std::uint8_t checksum = 0;
};

// Width of the address field of a record type: S0 0, S1/S9 2, S2/S8 3,
// S3/S7 4; 0 for the unsupported types.
std::uint32_t AddressBytes(std::uint32_t type);

// True for the types that the reader and writer handle: 0-3 and 7-9.
bool IsSupportedRecordType(std::uint32_t type);

// The highest address that the address field of the type can hold.
std::uint32_t HighestAddress(std::uint32_t type);

// Number of data bytes of a record: count - address bytes - 1, none when
// that is 0 or less.
std::uint32_t DataLength(const SRecord& record);

// One's complement of the low 8 bits of the sum of the count, the four bytes
// of the address value and every data byte.
std::uint8_t RecordChecksum(std::uint8_t count, std::uint32_t address, const std::uint8_t* data,
                            std::size_t length);
std::uint8_t RecordChecksum(const SRecord& record);

// Parses one record line (without its line end) into record, checksum field
// included; the caller compares it with RecordChecksum. Throws
// SREC_ILLEGAL_CHARACTER when the line does not begin with "S", is shorter
// than its fields or holds a character that is not a hexadecimal digit in a
// field, and SREC_TYPE_NOT_SUPPORTED for a type other than 0-3 and 7-9.
void ParseRecordLine(std::string_view line, SRecord& record);

// The longest record line with its CR LF line end.
inline constexpr std::size_t kMaxRecordLineLength = 4 + 2 * 255 + 2;

// Formats one record with its checksum and a CR LF line end into out, which
// must hold kMaxRecordLineLength characters; returns the characters written.
// The record is given by its parts so that data need not be copied.
std::size_t FormatRecordLine(std::uint32_t type, std::uint8_t count, std::uint32_t address,
                             const std::uint8_t* data, std::size_t length, char* out);
