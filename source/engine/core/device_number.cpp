#include "engine/core/device_number.h"

std::string GetDeviceName(DeviceNumber device) {
  if (IsUsbDevice(device)) return "USB" + std::to_string(device);
  if (IsSerialDevice(device)) return "COM" + std::to_string(device - (DEVICE_FIRST_COM - 1));
  if (device == DEVICE_SMARTPHONE) return "Smartphone";
  if (device == DEVICE_INDEPENDENT) return "Device Independent";
  return "UnknownDevice";
}
