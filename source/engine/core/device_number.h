#pragma once
// Device numbers: one signed integer names a device in every queue, table
// and log line.
//
//   0 .. 126    USB device slot n              "USB%d" with n
//   127 .. 145  serial port COM1 .. COM19      "COM%d" with n - 126
//   146         the smartphone slot            "Smartphone"
//   -3          work bound to no device        "Device Independent"
//   -1          in a request only: every USB device present when the
//               request is queued              "UnknownDevice"
//   other       none                           "UnknownDevice"

#include <cstdint>
#include <string>

using DeviceNumber = std::int32_t;

inline constexpr DeviceNumber DEVICE_FIRST_USB = 0;
inline constexpr DeviceNumber DEVICE_LAST_USB = 126;
inline constexpr DeviceNumber DEVICE_FIRST_COM = 127;  // COM1
inline constexpr DeviceNumber DEVICE_LAST_COM = 145;   // COM19
inline constexpr DeviceNumber DEVICE_SMARTPHONE = 146;
inline constexpr DeviceNumber DEVICE_INDEPENDENT = -3;
inline constexpr DeviceNumber DEVICE_UNASSIGNED = -1;
// The per-device tables of the core processing thread are indexed 0 .. 146.
inline constexpr int DEVICE_SLOT_COUNT = 147;

constexpr bool IsUsbDevice(DeviceNumber device) {
  return device >= DEVICE_FIRST_USB && device <= DEVICE_LAST_USB;
}
constexpr bool IsSerialDevice(DeviceNumber device) {
  return device >= DEVICE_FIRST_COM && device <= DEVICE_LAST_COM;
}

// The printed name of a device; a log line about it starts with this name
// followed by "> ".
std::string GetDeviceName(DeviceNumber device);
