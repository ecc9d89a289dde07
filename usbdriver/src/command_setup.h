#pragma once
// The command pipe's 8-byte command header is the setup packet of a control
// transfer on endpoint 0, byte for byte: bmRequestType, bRequest, wValue,
// wIndex and wLength, the 16-bit fields little-endian. The data stage follows
// the header in the caller's buffer.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace usb_driver {

inline constexpr std::uint32_t kCommandHeaderSize = 8;
// The largest data stage libusb takes in one control transfer.
inline constexpr std::uint32_t kMaxCommandData = 4096;

struct SetupPacket {
  std::uint8_t requestType = 0;
  std::uint8_t request = 0;
  std::uint16_t value = 0;
  std::uint16_t index = 0;
  std::uint16_t length = 0;

  bool DeviceToHost() const { return (requestType & 0x80) != 0; }
};

SetupPacket ReadSetupPacket(const std::uint8_t* header);

// The control transfer a command read or write of `total` buffer bytes asks
// for, or none when the buffer cannot hold it or libusb cannot take it:
// shorter than the header, a data stage longer than the room after the
// header or than kMaxCommandData, or (for a write) a device-to-host request.
std::optional<SetupPacket> CommandReadSetup(const std::uint8_t* buffer, std::uint32_t total);
std::optional<SetupPacket> CommandWriteSetup(const std::uint8_t* buffer, std::uint32_t total);

}  // namespace usb_driver
