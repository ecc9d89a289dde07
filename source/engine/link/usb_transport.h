#pragma once
// The USB transport: one radio's interface through the USB communication
// library. Constructing it registers an application and selects the device
// and its interface, so a transport that exists is connected; destroying it
// lets both go. Every library result other than success is thrown as its
// ISP_EXCEPTION value.

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/link/isp_exception.h"

class CUsbTransport {
 public:
  CUsbTransport(std::uint16_t deviceId, std::string interfaceName);
  ~CUsbTransport();
  CUsbTransport(const CUsbTransport&) = delete;
  CUsbTransport& operator=(const CUsbTransport&) = delete;

  // Reads up to `length` bytes within the time-out; returns the length the
  // library reports (at most `length`).
  std::size_t Read(std::uint8_t* buffer, std::size_t length, std::uint32_t timeoutMs);
  // Writes every byte; a shorter write throws 11.
  void Write(const std::uint8_t* buffer, std::size_t length);

  // The exception for a library result.
  static ISP_EXCEPTION UsbErrorToException(int result);
  [[noreturn]] static void ThrowUsbError(int result);

  std::uint16_t DeviceId() const { return deviceId_; }
  const std::string& InterfaceName() const { return interfaceName_; }
  std::uint16_t ApplicationHandle() const { return application_; }

  static constexpr std::uint32_t kWriteTimeoutMs = 2000;

 private:
  std::uint16_t deviceId_;
  std::string interfaceName_;
  std::uint16_t application_ = 0;
};
