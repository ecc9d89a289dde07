#include "engine/link/isp_exception.h"

#include <array>

namespace {

constexpr std::array<const char*, kIspExceptionCount> kCommErrorTexts{
    "Serial bus reply timeout",
    "NAK detected",
    "Error opening serial port",
    "Error closing serial port",
    "Error getting communications state",
    "Error setting communications state",
    "Error setting communications timeouts",
    "Error reading serial port",
    "Error writing serial port",
    "Error reading serial port status",
    "Byte count mismatch on read operation",
    "Byte count mismatch on write operation",
    "Error clearing serial bus receive buffer",
    "Error clearing serial bus transmit buffer",
    "Message type not supported",
    "Timeout waiting for ACK/NAK from target device",
    "Bad checksum received from target device",
    "Did not receive ack from bootloader",
    "USB read operation timeout",
    "USB write operation timeout",
    "USB capable radio not detected",
    "USB operation failed",
    "USB operation failed. Invalid ID",
    "USB operation failed. No free space to allocate for CSR",
    "USB operation failed. Invalid interface",
    "USB not initialized",
    "USB operation failed. Device Busy",
    "USB operation failed. Interface not available",
    "Unknown USB error",
};

}  // namespace

const char* CommErrorText(int value) {
  if (value < 0 || value >= kIspExceptionCount) return "Undefined communication exception";
  return kCommErrorTexts[static_cast<std::size_t>(value)];
}
