#pragma once
// What a libusb outcome means as a driver status (EPSTStatus), per kind of
// transfer, and the names of libusb's results for the trace.

#include <cstdint>

namespace usb_driver {

// A bulk read that asked for `wanted` bytes and got `moved` before libusb
// answered `result` (0 or a libusb error).
int BulkReadStatus(int result, std::uint32_t wanted, std::uint32_t moved);
int BulkWriteStatus(int result);
int CommandReadStatus(int result);
int CommandWriteStatus(int result);

const char* LibusbResultName(int result);

}  // namespace usb_driver
