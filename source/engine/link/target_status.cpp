#include "engine/link/target_status.h"

#include <cstddef>

#include "engine/core/kernel_error_code.h"

namespace {

// Which details follow a status word, in the order they come.
enum class DetailLayout {
  None,
  DeviceIds,        // manufacturer id and three device ids (four 16-bit values)
  Address,          // failing address (32-bit)
  AddressStatus,    // address, status byte
  TwoValuesStatus,  // two 32-bit values, status byte
  Status,           // status byte
  SectorStatus,     // sector (16-bit), status byte
  Sector,           // sector
};

struct StatusEntry {
  std::uint16_t word;
  int error;
  DetailLayout layout;
};

constexpr StatusEntry kStatusTable[] = {
    {0x0000, 1, DetailLayout::None},
    {0x0100, 21, DetailLayout::None},
    {0x0101, 22, DetailLayout::None},
    {0x0102, 23, DetailLayout::None},
    {0x0200, 24, DetailLayout::None},
    {0x0201, 25, DetailLayout::DeviceIds},
    {0x0202, 26, DetailLayout::Address},
    {0x0203, 27, DetailLayout::Address},
    {0x0204, 28, DetailLayout::AddressStatus},
    {0x0205, 29, DetailLayout::AddressStatus},
    {0x0206, 30, DetailLayout::TwoValuesStatus},
    {0x0207, 31, DetailLayout::Status},
    {0x0208, 32, DetailLayout::SectorStatus},
    {0x0209, 33, DetailLayout::SectorStatus},
    {0x020A, 34, DetailLayout::SectorStatus},
    {0x020B, 35, DetailLayout::Sector},
    {0x020C, 36, DetailLayout::Status},
    {0x020D, 37, DetailLayout::Address},
    {0x020E, 38, DetailLayout::Address},
    {0x0300, 42, DetailLayout::None},
    {0x0301, 43, DetailLayout::None},
    {0x0600, 44, DetailLayout::None},
    {0x0601, 45, DetailLayout::None},
};

// Reads big-endian values from the detail bytes; past the end they are 0.
class DetailReader {
 public:
  explicit DetailReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint32_t Byte() { return at_ < bytes_.size() ? bytes_[at_++] : 0u; }
  std::uint16_t U16() {
    const std::uint32_t high = Byte();
    return static_cast<std::uint16_t>(high << 8 | Byte());
  }
  std::uint32_t U32() {
    const std::uint32_t high = U16();
    return high << 16 | U16();
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

void ReadDetails(DetailLayout layout, DetailReader& in, ErrorDetails& d) {
  switch (layout) {
    case DetailLayout::None: break;
    case DetailLayout::DeviceIds:
      d.manufacturerId = in.U16();
      d.deviceId = in.U16();
      d.deviceId2 = in.U16();
      d.deviceId3 = in.U16();
      break;
    case DetailLayout::Address: d.address = in.U32(); break;
    case DetailLayout::AddressStatus:
      d.address = in.U32();
      d.statusRegister = in.Byte();
      break;
    case DetailLayout::TwoValuesStatus:
      d.detail1 = in.U32();
      d.detail2 = in.U32();
      d.statusRegister = in.Byte();
      break;
    case DetailLayout::Status: d.statusRegister = in.Byte(); break;
    case DetailLayout::SectorStatus:
      d.sector = in.U16();
      d.statusRegister = in.Byte();
      break;
    case DetailLayout::Sector: d.sector = in.U16(); break;
  }
}

}  // namespace

int DecodeTargetStatus(std::uint16_t statusWord, std::span<const std::uint8_t> detailBytes,
                       ErrorDetails& details) {
  details = ErrorDetails{};
  for (const auto& entry : kStatusTable) {
    if (entry.word != statusWord) continue;
    DetailReader reader(detailBytes);
    ReadDetails(entry.layout, reader, details);
    return entry.error;
  }
  return KERNEL_ERROR_UNKNOWN;
}
