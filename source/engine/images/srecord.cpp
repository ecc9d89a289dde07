#include "engine/images/srecord.h"

#include <cstring>

#include "engine/images/srecord_error.h"

namespace {

constexpr std::uint8_t kNotHex = 0x10;

struct HexDecodeTable {
  std::array<std::uint8_t, 256> value{};
  constexpr HexDecodeTable() {
    for (auto& v : value) v = kNotHex;
    for (int c = '0'; c <= '9'; ++c) value[c] = static_cast<std::uint8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) value[c] = static_cast<std::uint8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) value[c] = static_cast<std::uint8_t>(c - 'a' + 10);
  }
};
constexpr HexDecodeTable kHexDecode;

constexpr char kHexDigits[] = "0123456789ABCDEF";

struct HexEncodeTable {
  std::array<char, 512> pair{};
  constexpr HexEncodeTable() {
    for (int b = 0; b < 256; ++b) {
      pair[2 * b] = kHexDigits[b >> 4];
      pair[2 * b + 1] = kHexDigits[b & 0xF];
    }
  }
};
constexpr HexEncodeTable kHexEncode;

// Decodes the two digits at text into a byte; ORs kNotHex into bad when one
// of them is not a hexadecimal digit.
inline std::uint8_t DecodeByte(const char* text, std::uint8_t& bad) {
  const std::uint8_t high = kHexDecode.value[static_cast<unsigned char>(text[0])];
  const std::uint8_t low = kHexDecode.value[static_cast<unsigned char>(text[1])];
  bad |= high | low;
  return static_cast<std::uint8_t>((high << 4) | (low & 0xF));
}

inline char* EncodeByte(std::uint8_t byte, char* out) {
  std::memcpy(out, &kHexEncode.pair[2 * byte], 2);
  return out + 2;
}

}  // namespace

std::uint32_t AddressBytes(std::uint32_t type) {
  switch (type) {
    case 1: case 9: return 2;
    case 2: case 8: return 3;
    case 3: case 7: return 4;
    default: return 0;
  }
}

bool IsSupportedRecordType(std::uint32_t type) { return type <= 3 || (type >= 7 && type <= 9); }

std::uint32_t HighestAddress(std::uint32_t type) {
  switch (AddressBytes(type)) {
    case 2: return 0xFFFF;
    case 3: return 0xFFFFFF;
    case 4: return 0xFFFFFFFF;
    default: return 0;
  }
}

std::uint32_t DataLength(const SRecord& record) {
  const int length = static_cast<int>(record.count) - static_cast<int>(AddressBytes(record.type)) - 1;
  return length > 0 ? static_cast<std::uint32_t>(length) : 0;
}

std::uint8_t RecordChecksum(std::uint8_t count, std::uint32_t address, const std::uint8_t* data,
                            std::size_t length) {
  std::uint32_t sum = count;
  sum += (address >> 24) & 0xFF;
  sum += (address >> 16) & 0xFF;
  sum += (address >> 8) & 0xFF;
  sum += address & 0xFF;
  for (std::size_t i = 0; i < length; ++i) sum += data[i];
  return static_cast<std::uint8_t>(~sum & 0xFF);
}

std::uint8_t RecordChecksum(const SRecord& record) {
  return RecordChecksum(record.count, record.address, record.data.data(), DataLength(record));
}

void ParseRecordLine(std::string_view line, SRecord& record) {
  if (line.empty() || line[0] != 'S') throw SREC_ILLEGAL_CHARACTER;
  if (line.size() < 2) throw SREC_ILLEGAL_CHARACTER;
  const char typeDigit = line[1];
  if (typeDigit < '0' || typeDigit > '9') throw SREC_TYPE_NOT_SUPPORTED;
  const std::uint32_t type = static_cast<std::uint32_t>(typeDigit - '0');
  if (!IsSupportedRecordType(type)) throw SREC_TYPE_NOT_SUPPORTED;
  if (line.size() < 4) throw SREC_ILLEGAL_CHARACTER;

  std::uint8_t bad = 0;
  const char* text = line.data();
  record.type = type;
  record.count = DecodeByte(text + 2, bad);
  const std::uint32_t addressBytes = AddressBytes(type);
  const std::uint32_t dataLength = DataLength(record);
  // A line must hold every field that its count announces; a short line is
  // never completed from what an earlier line left behind.
  const std::size_t fieldsLength = 4 + 2 * addressBytes + 2 * dataLength + 2;
  if (line.size() < fieldsLength) throw SREC_ILLEGAL_CHARACTER;

  text += 4;
  std::uint32_t address = 0;
  for (std::uint32_t i = 0; i < addressBytes; ++i, text += 2) {
    address = (address << 8) | DecodeByte(text, bad);
  }
  record.address = address;
  std::uint8_t* data = record.data.data();
  for (std::uint32_t i = 0; i < dataLength; ++i, text += 2) data[i] = DecodeByte(text, bad);
  record.checksum = DecodeByte(text, bad);
  if (bad & kNotHex) throw SREC_ILLEGAL_CHARACTER;
}

std::size_t FormatRecordLine(std::uint32_t type, std::uint8_t count, std::uint32_t address,
                             const std::uint8_t* data, std::size_t length, char* out) {
  char* p = out;
  *p++ = 'S';
  *p++ = static_cast<char>('0' + type);
  p = EncodeByte(count, p);
  for (std::uint32_t i = AddressBytes(type); i > 0; --i) {
    p = EncodeByte(static_cast<std::uint8_t>(address >> (8 * (i - 1))), p);
  }
  for (std::size_t i = 0; i < length; ++i) p = EncodeByte(data[i], p);
  p = EncodeByte(RecordChecksum(count, address, data, length), p);
  *p++ = '\r';
  *p++ = '\n';
  return static_cast<std::size_t>(p - out);
}
