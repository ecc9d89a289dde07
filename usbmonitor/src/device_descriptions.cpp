#include "device_descriptions.h"

#include <cstdint>

namespace kovrin {
namespace {

constexpr int kWholeDevice = -1;

struct KnownDevice {
  std::uint16_t vendorId;
  std::uint16_t productId;
  int interfaceNumber;  // kWholeDevice for the device itself
  const char* text;
};

// The maker's devices by id.
constexpr KnownDevice kKnownDevices[] = {
    {0x1d07, 0x0020, kWholeDevice, "Corvane Quor USB Modem"},
    {0x1d07, 0x0021, kWholeDevice, "Corvane Q9t USB Device"},
    {0x1d07, 0x0022, kWholeDevice, "Corvane Quor Interface"},
    {0x1d07, 0x0023, kWholeDevice, "Corvane Flash Interface"},
    {0x1d07, 0x0030, kWholeDevice, "Corvane Smartphone"},
    {0x1d07, 0x0040, 2, "Corvane Quor USB Modem"},
    {0x1d07, 0x0040, 0, "Corvane Q9t USB Device"},
    {0x3e61, 0x0100, kWholeDevice, "Corvane Composite USB Device"},
    {0x3e61, 0x0100, 1, "Corvane Quor USB Modem"},
};

constexpr int kClassPerInterface = 0x00;
constexpr int kClassMiscellaneous = 0xEF;

const char* Lookup(std::uint16_t vendorId, std::uint16_t productId, int interfaceNumber) {
  for (const auto& known : kKnownDevices) {
    if (known.vendorId == vendorId && known.productId == productId && known.interfaceNumber == interfaceNumber)
      return known.text;
  }
  return nullptr;
}

}  // namespace

bool IsCompositeDevice(const platform::UsbDeviceNode& device) {
  return (device.deviceClass == kClassPerInterface || device.deviceClass == kClassMiscellaneous) &&
         device.interfaces.size() > 1;
}

std::string DescribeDevice(const platform::UsbDeviceNode& device) {
  if (device.idsReadable) {
    if (const char* text = Lookup(device.vendorId, device.productId, kWholeDevice)) return text;
  }
  if (IsCompositeDevice(device)) return kCompositeDescription;
  std::string text = device.manufacturer;
  if (!device.product.empty()) text += (text.empty() ? "" : " ") + device.product;
  return text.empty() ? kPlainDescription : text;
}

std::optional<std::string> DescribeInterface(const platform::UsbDeviceNode& device, int interfaceNumber) {
  if (!device.idsReadable) return std::nullopt;
  if (const char* text = Lookup(device.vendorId, device.productId, interfaceNumber)) return std::string(text);
  return std::nullopt;
}

}  // namespace kovrin
