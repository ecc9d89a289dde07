#pragma once
// A device object's last error details: what the kernel's status request
// reported about the last failure. A failure event points at them and they
// become fields 4 to 12 of an ErrorRecord.

#include <cstdint>
#include <string>

struct ErrorDetails {
  std::uint32_t address = 0;         // failing address
  std::uint32_t detail1 = 0;
  std::uint32_t detail2 = 0;
  std::uint32_t statusRegister = 0;  // the status byte, held in 32 bits
  std::uint16_t sector = 0;
  std::uint16_t manufacturerId = 0;  // flash manufacturer id
  std::uint16_t deviceId = 0;        // flash device id
  std::uint16_t deviceId2 = 0;       // second device id
  std::uint16_t deviceId3 = 0;       // third device id
  // What the failure is about where the code's text does not say it: the
  // image file that would not load, the GPS-chip library's own message.
  // Empty when the code says it all.
  std::string cause;

  bool operator==(const ErrorDetails&) const = default;
};
