#pragma once
// A serial port with the semantics of a Windows communications handle, over
// termios.
//
// - Open takes a device path or a COM name ("COM3", "\\.\COM3"), which is
//   resolved through the COM map (com_map.h). The port is opened exclusively:
//   a second open of the same device fails with access denied, also for root.
//   The line is put into raw mode at once, and the driver is asked for low
//   latency (serial_low_latency.h).
// - Any bit rate is accepted (termios2 with BOTHER).
// - Read and Write follow the system's time-out record (CommTimeouts) as poll
//   deadlines: a read that runs out of time succeeds with the bytes it has.
// - Modem lines are tolerated where the device has none (pseudo-terminals):
//   setting them succeeds and reading them gives all lines off.
// - A pseudo-terminal's output queue is that of a UART at the port's bit
//   rate: written bytes count as queued until the line would have sent them.
// - Failures return false; LastError gives the Windows error number and
//   LastErrno the Linux one. A failed Open also keeps the device path it
//   tried and the system's reason, as one text (OpenFailure).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/transmit_clock.h"
#include "platform/windows_error.h"

namespace platform {

inline constexpr std::uint32_t kMaxDword = 0xFFFFFFFFu;

// The system's time-out record, in milliseconds. The rules, as on Windows:
// - all zero: a read waits until every byte asked for has come;
// - interval kMaxDword with both totals zero: a read returns at once with what
//   is queued;
// - interval kMaxDword, multiplier kMaxDword and a constant between 0 and
//   kMaxDword: a read returns at once when bytes are queued, else when the
//   first byte comes, or after the constant with none;
// - otherwise a read ends when the total (multiplier * length + constant,
//   unused when both are zero) or, once a byte has come, the gap between two
//   bytes (the interval, unused when zero) runs out.
// A write ends after multiplier * length + constant (no limit when both are
// zero).
struct CommTimeouts {
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t ReadTotalTimeoutConstant = 0;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;
  std::uint32_t WriteTotalTimeoutConstant = 0;
};

enum class Parity : std::uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class StopBits : std::uint8_t { One = 0, OnePointFive = 1, Two = 2 };
enum class DtrControl : std::uint8_t { Disable = 0, Enable = 1, Handshake = 2 };
enum class RtsControl : std::uint8_t { Disable = 0, Enable = 1, Handshake = 2, Toggle = 3 };

// The line settings (the system's DCB).
struct CommSettings {
  std::uint32_t baudRate = 9600;
  bool binary = true;
  bool parityCheck = false;
  bool ctsOutFlow = false;
  bool dsrOutFlow = false;
  DtrControl dtrControl = DtrControl::Enable;
  RtsControl rtsControl = RtsControl::Enable;
  bool xonXoffOut = false;
  bool xonXoffIn = false;
  std::uint8_t byteSize = 8;  // 5..8
  Parity parity = Parity::None;
  StopBits stopBits = StopBits::One;
  char xonChar = 0x11;
  char xoffChar = 0x13;
};

// What ClearCommError reports: the line errors that were pending (always 0
// here: termios does not report them) and the queue counts.
struct CommStatus {
  std::uint32_t errors = 0;
  std::uint32_t inQueue = 0;
  std::uint32_t outQueue = 0;
};

// A terminal's whole line as the system keeps it: rate and framing, and the
// terminal's own modes (line editing, echo, character translation) that the
// line settings above have no word for. Opaque; only the serial port reads
// and writes it.
struct TerminalLine {
  alignas(8) unsigned char bytes[64] = {};
  bool valid = false;
};

// What a user's terminal program leaves on a port, for tools and tests that
// look at or prepare a port from outside: the rate, and whether the line is
// cooked (input edited by lines and echoed) rather than raw.
struct TerminalModes {
  std::uint32_t baudRate = 0;
  bool cooked = false;
};
bool ReadTerminalModes(const std::string& name, TerminalModes& modes);
bool WriteTerminalModes(const std::string& name, const TerminalModes& modes);

// Purge flags.
inline constexpr std::uint32_t kPurgeTxAbort = 0x0001;
inline constexpr std::uint32_t kPurgeRxAbort = 0x0002;
inline constexpr std::uint32_t kPurgeTxClear = 0x0004;
inline constexpr std::uint32_t kPurgeRxClear = 0x0008;

// Modem status bits.
inline constexpr std::uint32_t kCtsOn = 0x0010;
inline constexpr std::uint32_t kDsrOn = 0x0020;
inline constexpr std::uint32_t kRingOn = 0x0040;
inline constexpr std::uint32_t kRlsdOn = 0x0080;

enum class ModemLine { SetDtr, ClearDtr, SetRts, ClearRts, SetBreak, ClearBreak };


class SerialPort {
 public:
  SerialPort() = default;
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;
  SerialPort(SerialPort&& other) noexcept;
  SerialPort& operator=(SerialPort&& other) noexcept;

  bool Open(const std::string& name);
  bool IsOpen() const { return fd_ >= 0; }
  bool Close();

  bool GetState(CommSettings& settings);
  bool SetState(const CommSettings& settings);
  bool GetTimeouts(CommTimeouts& timeouts) const;
  bool SetTimeouts(const CommTimeouts& timeouts);

  // The line as Open found it, before it made the line raw; putting it
  // back restores the terminal exactly as its user had left it.
  const TerminalLine& LineFoundAtOpen() const { return lineAtOpen_; }
  bool RestoreLine(const TerminalLine& line);

  bool Read(void* buffer, std::size_t length, std::size_t& read);
  bool Write(const void* buffer, std::size_t length, std::size_t& written);

  // Waits until input is queued (at once when some is) or the time-out
  // ends; `ready` says which. False on a failure.
  bool WaitForInput(std::uint32_t timeoutMs, bool& ready);
  // Waits until the output queue has drained (the line has sent every byte
  // written) or the time-out ends, sleeping as long as the queued bytes take
  // on the line rather than spinning; `drained` says which. False on a
  // failure.
  bool WaitForOutputDrained(std::uint32_t timeoutMs, bool& drained);

  bool Purge(std::uint32_t flags);
  bool ClearError(CommStatus* status);
  bool GetModemStatus(std::uint32_t& bits);
  bool EscapeFunction(ModemLine line);

  // The open descriptor, for the platform's own waits on the port
  // (serial_events.h); -1 when closed.
  int NativeDescriptor() const { return fd_; }

  std::uint32_t LastError() const { return lastError_; }
  int LastErrno() const { return lastErrno_; }
  // After a failed Open: "<device path>: <the system's reason>", e.g.
  // "/dev/quillon/COM2: No such file or directory"; empty after one that
  // succeeded.
  const std::string& OpenFailure() const { return openFailure_; }

 private:
  bool Fail(int err);
  bool FailOpen(const std::string& path, int err);
  bool FailOpenMissingLink(const std::string& name, const std::string& path, int err);
  bool ApplyModemControls(const CommSettings& settings);
  bool ChangeModemBits(unsigned long request, int bits);
  bool WaitReadable(long long timeoutMs);
  std::chrono::steady_clock::duration TimeToSend(std::uint32_t queued) const;
  bool ReadAvailable(std::uint8_t* out, std::size_t room, std::size_t& got, bool* ended = nullptr);

  int fd_ = -1;
  bool pseudoTerminal_ = false;
  TerminalLine lineAtOpen_;
  TransmitClock transmit_;  // a pseudo-terminal's transmitter
  double lineBytesPerSecond_ = 0;  // what the line carries at the port's settings
  CommTimeouts timeouts_;
  DtrControl dtrControl_ = DtrControl::Enable;
  RtsControl rtsControl_ = RtsControl::Enable;
  bool dsrOutFlow_ = false;
  std::uint32_t lastError_ = 0;
  int lastErrno_ = 0;
  std::string openFailure_;
};

}  // namespace platform
