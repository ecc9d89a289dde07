#include "command_setup.h"

namespace usb_driver {
namespace {

std::uint16_t Little16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::optional<SetupPacket> FittingSetup(const std::uint8_t* buffer, std::uint32_t total) {
  if (!buffer || total < kCommandHeaderSize) return std::nullopt;
  SetupPacket setup = ReadSetupPacket(buffer);
  if (setup.length > total - kCommandHeaderSize || setup.length > kMaxCommandData) return std::nullopt;
  return setup;
}

}  // namespace

SetupPacket ReadSetupPacket(const std::uint8_t* header) {
  SetupPacket setup;
  setup.requestType = header[0];
  setup.request = header[1];
  setup.value = Little16(header + 2);
  setup.index = Little16(header + 4);
  setup.length = Little16(header + 6);
  return setup;
}

std::optional<SetupPacket> CommandReadSetup(const std::uint8_t* buffer, std::uint32_t total) {
  return FittingSetup(buffer, total);
}

std::optional<SetupPacket> CommandWriteSetup(const std::uint8_t* buffer, std::uint32_t total) {
  auto setup = FittingSetup(buffer, total);
  if (setup && setup->DeviceToHost()) return std::nullopt;
  return setup;
}

}  // namespace usb_driver
