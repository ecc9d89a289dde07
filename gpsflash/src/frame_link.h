#pragma once
// The serial port to the GPS chip and the checksummed frame link on it.
//
// A frame is two length bytes (bit 7 of the first is the flag bit, the rest a
// 15-bit payload length), the payload and a checksum that makes the sum of
// all bytes 0 modulo 256. Each frame is answered with one unframed byte, 0x06
// (good) or 0x15 (bad). In read mode the link recovers from bad frames: a NAK
// to a host frame is drained and answered with 0x15 so that the target sends
// its reply again, and a bad target frame is received up to 9 times.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/serial_port.h"

namespace ambrel {

inline constexpr std::uint8_t kAckByte = 0x06;
inline constexpr std::uint8_t kNakByte = 0x15;
inline constexpr std::size_t kSendBufferSize = 4096;
inline constexpr std::size_t kReceiveBufferSize = 1280;
inline constexpr std::size_t kMaxSendPayload = kSendBufferSize - 3;
inline constexpr std::size_t kMaxReceivePayload = kReceiveBufferSize - 3;

std::uint8_t FrameChecksum(const std::uint8_t* bytes, std::size_t count);
// The whole host frame for a payload.
std::vector<std::uint8_t> BuildFrame(const std::uint8_t* payload, std::size_t length, bool flag);

class FrameLink {
 public:
  FrameLink() = default;
  ~FrameLink();
  FrameLink(const FrameLink&) = delete;
  FrameLink& operator=(const FrameLink&) = delete;

  // Opens the port ("COMn") at the rate: 8 data bits, no parity, one stop
  // bit, no flow control, DTR and RTS on; read time-outs of 2000 ms between
  // bytes and 4 ms per byte plus 2000 ms in all. The previous time-outs and
  // line settings (the terminal's own modes too) are kept and put back by
  // Close. Input left from before is dropped.
  bool OpenComPort(const std::string& name, std::uint32_t rate);
  // Waits 200 ms, puts the saved settings back and closes the port.
  void CloseComPort();
  bool IsOpen() const { return port_.IsOpen(); }

  bool ReadComPort(std::uint8_t* buffer, std::size_t count, std::size_t& read);
  bool WriteComPort(const std::uint8_t* buffer, std::size_t count, std::size_t& written);

  bool SendFrame(const std::uint8_t* payload, std::size_t length, bool flag);
  bool ReceiveFrame(std::vector<std::uint8_t>& payload, bool& flag);

  void SetReadMode(bool on) { readMode_ = on; }
  bool ReadMode() const { return readMode_; }
  void SetVerbose(bool on) { verbose_ = on; }
  bool Verbose() const { return verbose_; }

 private:
  void Trace(const char* format, ...) const __attribute__((format(printf, 2, 3)));
  void TraceBytes(const char* what, const std::uint8_t* bytes, std::size_t count) const;
  bool RecoverFromNak();

  platform::SerialPort port_;
  platform::CommTimeouts savedTimeouts_;
  platform::CommSettings savedSettings_;
  platform::TerminalLine savedLine_;
  bool readMode_ = false;
  bool verbose_ = false;
};

}  // namespace ambrel
