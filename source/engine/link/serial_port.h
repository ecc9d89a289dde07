#pragma once
// A plain serial port as the link layer uses it: opened at once at a bit
// rate, 8 data bits, no parity, one stop bit, no flow control, with the
// port's read time-outs of 1000 ms between bytes and 100 ms + 5 ms per byte
// in total. Every failure throws its ISP_EXCEPTION value; the port is never
// left open by a failed Open, which also notes the device path it tried and
// the system's reason (link_failure_reason.h).

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/link/isp_exception.h"
#include "platform/serial_port.h"

class CSerialPort {
 public:
  // Opens the port (a COM name such as "\\.\COM3", or a device path).
  CSerialPort(const std::string& portPath, std::uint32_t baudRate);
  virtual ~CSerialPort();
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  void Open(const std::string& portPath, std::uint32_t baudRate);
  void Close();
  bool IsOpen() const { return port_.IsOpen(); }

  void SetBaudRate(std::uint32_t baudRate);
  // 1: clear-to-send output flow control with request-to-send handshake;
  // anything else: no flow control, request-to-send off.
  void SetHardwareFlowControl(int on);

  // Waits up to `polls` ms for the first byte, taking it the moment it
  // comes (none: 0, the reply time-out), then reads exactly `length` bytes
  // within the port's time-outs (fewer: 10).
  void ReadWithTimeout(std::uint8_t* buffer, std::size_t length, unsigned polls);
  // Zero-fills the buffer and reads what comes within the port's time-outs.
  std::size_t Read(std::uint8_t* buffer, std::size_t length);
  // Discards stale input and output, writes every byte (fewer: 11) and waits
  // until the output queue has drained. Returns 1.
  int Write(const std::uint8_t* buffer, std::size_t length);
  std::size_t WriteRaw(const std::uint8_t* buffer, std::size_t length);

  bool OutputQueueEmpty();
  bool InputPending();
  std::size_t InputQueueCount();
  void PurgeReceive();
  void PurgeTransmit();

  static constexpr platform::CommTimeouts kPortTimeouts{1000, 5, 100, 5, 100};
  // What one poll of a reply wait stands for.
  static constexpr std::uint32_t kPollMs = 1;

 private:
  platform::CommStatus QueueStatus();
  void WaitUntilOutputDrained(std::size_t length);
  void CloseAfterFailure(ISP_EXCEPTION failure);

  platform::SerialPort port_;
};
